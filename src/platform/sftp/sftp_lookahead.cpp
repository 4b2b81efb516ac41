#include "platform/sftp/sftp_lookahead.h"

namespace kirvo {

SftpLookahead::Callback SftpLookahead::expect(const std::string& key) {
    const auto now = std::chrono::steady_clock::now();
    const std::lock_guard lock(state_->mutex);
    pruneLocked(now);
    if (state_->count >= kMaxWaiting) return nullptr;
    auto entry = std::make_shared<Entry>();
    entry->sent = now;
    state_->entries[key].push_back(entry);
    ++state_->count;
    // The state outlives the connection's callbacks; a forgotten entry is answered into the void.
    return [state = state_, entry](uint8_t type, std::string_view body) {
        const std::lock_guard lock(state->mutex);
        entry->answer = {type, std::string(body)};
        entry->answered = true;
        state->answered.notify_all();
    };
}

bool SftpLookahead::take(const std::string& key, Answer& answer) {
    const std::shared_ptr<Entry> entry = claim(key);
    if (!entry) return false;
    answer = wait(entry);
    return true;
}

std::shared_ptr<SftpLookahead::Entry> SftpLookahead::claim(const std::string& key) {
    const std::lock_guard lock(state_->mutex);
    const auto it = state_->entries.find(key);
    if (it == state_->entries.end()) return nullptr;
    std::deque<std::shared_ptr<Entry>>& queue = it->second;
    const auto now = std::chrono::steady_clock::now();
    while (!queue.empty() && now - queue.front()->sent > kFresh) {
        queue.pop_front();
        --state_->count;
    }
    std::shared_ptr<Entry> entry;
    if (!queue.empty()) {
        entry = queue.front();
        queue.pop_front();
        --state_->count;
    }
    if (queue.empty()) state_->entries.erase(it);
    return entry;
}

SftpLookahead::Answer SftpLookahead::wait(const std::shared_ptr<Entry>& entry) {
    std::unique_lock lock(state_->mutex);
    // Every request is answered: by its reply, or with type 0 when the connection is lost.
    state_->answered.wait(lock, [&] { return entry->answered; });
    return std::move(entry->answer);
}

void SftpLookahead::forget(const std::string& key) {
    const std::lock_guard lock(state_->mutex);
    const auto it = state_->entries.find(key);
    if (it == state_->entries.end()) return;
    state_->count -= it->second.size();
    state_->entries.erase(it);
}

void SftpLookahead::pruneLocked(std::chrono::steady_clock::time_point now) {
    if (now - pruned_ < kFresh) return;
    pruned_ = now;
    for (auto it = state_->entries.begin(); it != state_->entries.end();) {
        auto& queue = it->second;
        while (!queue.empty() && now - queue.front()->sent > kFresh) {
            queue.pop_front();
            --state_->count;
        }
        it = queue.empty() ? state_->entries.erase(it) : std::next(it);
    }
}

}  // namespace kirvo
