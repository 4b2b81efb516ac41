#pragma once
#include <map>
#include <string>
#include <utility>
#include <variant>

#include "app/profile_store.h"

namespace kirvo {

// A ProfileStore held in memory. Integers and strings are kept with their
// type; reading an integer from a string value parses it (as a file-backed
// store would), and reading a string from an integer value formats it.
class InMemoryProfileStore : public ProfileStore {
public:
    using Value = std::variant<int32_t, std::string>;

    int32_t GetProfileInt(std::string_view section, std::string_view entry,
                          int32_t defaultValue) override;
    void WriteProfileInt(std::string_view section, std::string_view entry, int32_t value) override;
    std::string GetProfileString(std::string_view section, std::string_view entry,
                                 std::string_view defaultValue = {}) override;
    void WriteProfileString(std::string_view section, std::string_view entry,
                            std::string_view value) override;

    bool Contains(std::string_view section, std::string_view entry) const;
    const Value* Find(std::string_view section, std::string_view entry) const;
    void Remove(std::string_view section, std::string_view entry);
    size_t size() const { return values_.size(); }

private:
    using Key = std::pair<std::string, std::string>;
    std::map<Key, Value, std::less<>> values_;
};

}  // namespace kirvo
