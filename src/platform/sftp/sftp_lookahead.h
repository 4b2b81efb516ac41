#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kirvo {

// Answers to requests sent before anybody asked: a copy about to look at
// many names on another machine asks for them all at once (see
// FolderBackend::foresee), and the looks then take the answers in turn
// instead of waiting a round trip each. An answer is taken once, only while
// fresh (sent less than kFresh ago), and dropped as soon as we change the
// name ourselves; every other look goes to the server as before. At most
// kMaxWaiting answers are kept, so a long list costs bounded memory.
class SftpLookahead {
public:
    using Callback = std::function<void(uint8_t type, std::string_view body)>;
    struct Answer {
        uint8_t type = 0;
        std::string body;
    };

    static constexpr std::chrono::milliseconds kFresh{2000};
    static constexpr size_t kMaxWaiting = 8192;

    SftpLookahead() : state_(std::make_shared<State>()) {}

    // Registers one request for `key` about to be sent; its reply goes to the
    // returned callback. Null when full: then nothing is to be sent.
    Callback expect(const std::string& key);
    // The oldest fresh answer for `key`, waiting while it is under way; false
    // when there is none.
    bool take(const std::string& key, Answer& answer);
    // take in two steps, so that several answers can be claimed before any
    // is waited for: claim is null when there is none.
    struct Entry;
    std::shared_ptr<Entry> claim(const std::string& key);
    Answer wait(const std::shared_ptr<Entry>& entry);
    // Drops the answers for `key`: the name is about to change.
    void forget(const std::string& key);

    struct Entry {
        std::chrono::steady_clock::time_point sent;
        bool answered = false;
        Answer answer;
    };

private:
    struct State {
        std::mutex mutex;
        std::condition_variable answered;
        std::unordered_map<std::string, std::deque<std::shared_ptr<Entry>>> entries;
        size_t count = 0;
    };
    void pruneLocked(std::chrono::steady_clock::time_point now);

    std::shared_ptr<State> state_;
    std::chrono::steady_clock::time_point pruned_;
};

}  // namespace kirvo
