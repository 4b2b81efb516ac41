#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kirvo {

// How many deletions a run may make without asking (--max-delete=N or =P%).
class DeleteLimit {
public:
    // "20" or "10%" (0 to 100); none with a German `error` for anything else.
    static std::optional<DeleteLimit> Parse(std::string_view text, std::string* error = nullptr);
    static DeleteLimit Count(uint64_t count) { return DeleteLimit(count, false); }
    static DeleteLimit Percent(uint64_t percent) { return DeleteLimit(percent, true); }

    // Whether deleting `deletes` of a side's `files` keeps within the limit.
    bool allows(uint64_t deletes, uint64_t files) const {
        return percent_ ? deletes * 100 <= value_ * files : deletes <= value_;
    }

private:
    DeleteLimit(uint64_t value, bool percent) : value_(value), percent_(percent) {}
    uint64_t value_;
    bool percent_;
};

}  // namespace kirvo
