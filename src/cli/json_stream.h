#pragma once
#include <cstddef>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>

namespace kirvo {

// A document written as it is made: one field per line, and arrays with one
// element per line, so a large list never lies in memory as a whole.
class JsonStream {
public:
    using Json = nlohmann::ordered_json;

    explicit JsonStream(std::ostream& out) : out_(out) { buffer_ = "{"; }

    void Field(std::string_view key, const Json& value) {
        Key(key);
        Dump(value);
    }
    void BeginArray(std::string_view key) {
        Key(key);
        buffer_ += '[';
        firstElement_ = true;
    }
    void Element(const Json& value) {
        buffer_ += firstElement_ ? "\n    " : ",\n    ";
        firstElement_ = false;
        Dump(value);
        if (buffer_.size() >= kFlushSize) Flush();
    }
    void EndArray() { buffer_ += firstElement_ ? "]" : "\n  ]"; }
    void End() {
        buffer_ += "\n}\n";
        Flush();
    }

private:
    static constexpr size_t kFlushSize = 256 * 1024;

    void Key(std::string_view key) {
        buffer_ += firstField_ ? "\n  \"" : ",\n  \"";
        firstField_ = false;
        buffer_.append(key).append("\": ");
    }
    void Dump(const Json& value) { buffer_ += value.dump(-1, ' ', false, Json::error_handler_t::replace); }
    void Flush() {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }

    std::ostream& out_;
    std::string buffer_;
    bool firstField_ = true;
    bool firstElement_ = true;
};

}  // namespace kirvo
