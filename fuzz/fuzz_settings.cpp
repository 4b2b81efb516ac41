// Fuzzes the loading of the settings (options, path histories, window size,
// column widths) from arbitrary stored values, against a simple model: a
// stored integer counts only when its whole text is a number in range, else
// the default; a history reads up to its first empty entry; nothing derived
// overflows (UBSan), and what is saved reads back the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_options.h"
#include "app/in_memory_profile_store.h"
#include "view/list_columns.h"
#include "app/path_history.h"
#include "app/profile_store.h"
#include "app/window_size.h"

namespace {

using namespace kirvo;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "model mismatch: %s\n", what.c_str());
    std::abort();
}

// The model of a stored integer: blanks around, an optional sign, digits only;
// negative down to -2^31, positive up to 2^32-1 (wrapping above 2^31-1).
bool ModelInt(const std::string& stored, int32_t& value) {
    size_t b = 0, e = stored.size();
    while (b < e && (stored[b] == ' ' || stored[b] == '\t')) ++b;
    while (e > b && (stored[e - 1] == ' ' || stored[e - 1] == '\t')) --e;
    bool negative = false;
    if (b < e && (stored[b] == '-' || stored[b] == '+')) negative = stored[b++] == '-';
    if (b == e) return false;
    uint64_t magnitude = 0;
    for (size_t i = b; i < e; ++i) {
        if (stored[i] < '0' || stored[i] > '9') return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(stored[i] - '0');
        if (magnitude > (uint64_t{1} << 33)) return false;
    }
    if (negative) {
        if (magnitude > (uint64_t{1} << 31)) return false;
        value = static_cast<int32_t>(-static_cast<int64_t>(magnitude));
        return true;
    }
    if (magnitude > 0xFFFFFFFFull) return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    return true;
}

struct Stored {
    bool asInt = false;
    int32_t number = 0;
    std::string text;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InMemoryProfileStore store;
    const auto& options = AppOptions::Table();
    // What the model knows was stored, per (section, entry).
    std::vector<std::pair<std::pair<std::string, std::string>, Stored>> stored;
    const auto find = [&](std::string_view section, std::string_view entry) -> const Stored* {
        const Stored* found = nullptr;
        for (const auto& [key, value] : stored)
            if (key.first == section && key.second == entry) found = &value;  // the last write wins
        return found;
    };
    size_t pos = 0;
    while (pos + 2 <= size) {
        const uint8_t selector = data[pos++];
        const size_t length = data[pos++] % 24;
        if (pos + length > size) break;
        std::string section, entry;
        const int pick = selector & 0x3f;
        if (pick < 8) {
            section = std::string(profile::kOptions);
            entry = std::string(options[static_cast<size_t>(pick)].entry);
        } else if (pick < 24) {
            section = std::string(profile::kSource);
            entry = section + std::to_string(pick - 8);
        } else if (pick < 40) {
            section = std::string(profile::kTarget);
            entry = section + std::to_string(pick - 24);
        } else {
            section = std::string(profile::kMain);
            entry = std::string(pick % 2 ? profile::kWidth : profile::kHeight);
        }
        Stored value;
        value.text.assign(reinterpret_cast<const char*>(data + pos), length);
        pos += length;
        if (selector & 0x80) {
            value.asInt = true;
            uint32_t raw = 0;
            for (char c : value.text) raw = raw * 131 + static_cast<uint8_t>(c);
            value.number = static_cast<int32_t>(raw);
            store.WriteProfileInt(section, entry, value.number);
        } else {
            store.WriteProfileString(section, entry, value.text);
        }
        stored.push_back({{section, entry}, value});
    }
    const auto modelInt = [&](std::string_view section, std::string_view entry, int32_t fallback) {
        const Stored* s = find(section, entry);
        if (!s) return fallback;
        if (s->asInt) return s->number;
        int32_t v = 0;
        return ModelInt(s->text, v) ? v : fallback;
    };

    AppOptions loaded;
    loaded.Load(store);
    for (const OptionInfo& info : options)
        if (loaded.value(info.option) != modelInt(profile::kOptions, info.entry, info.defaultValue))
            Fail("option " + std::string(info.entry));

    const WindowSize::Size size2 = WindowSize::Restore(store);
    const int32_t cx = modelInt(profile::kMain, profile::kWidth, 0), cy = modelInt(profile::kMain, profile::kHeight, 0);
    if (size2.width != (cx > WindowSize::kFrameWidth ? cx - WindowSize::kFrameWidth : 0) ||
        size2.height != (cy > WindowSize::kFrameHeight ? cy - WindowSize::kFrameHeight : 0))
        Fail("window size");
    for (int c = 0; c < ListColumns::kCount; ++c) (void)ListColumns::InitialWidth(c, cx);

    for (std::string_view section : {profile::kSource, profile::kTarget}) {
        PathHistory history{std::string(section)};
        const std::string first = history.Load(store);
        std::vector<std::string> expected;
        for (size_t i = 0;; ++i) {
            const Stored* s = find(section, std::string(section) + std::to_string(i));
            const std::string text = !s ? "" : s->asInt ? std::to_string(s->number) : s->text;
            if (text.empty()) break;
            expected.push_back(text);
        }
        if (history.entries() != expected) Fail("history entries of " + std::string(section));
        if (first != (expected.empty() ? "" : expected[0])) Fail("history preset");

        // A new path goes to the top; the first entry for the same folder goes.
        const std::string typed = expected.empty() ? "/neu" : expected.back() + "x";
        std::vector<std::string> model = expected;
        for (auto it = model.begin(); it != model.end(); ++it)
            if (history.SameFolder(*it, typed)) {
                model.erase(it);
                break;
            }
        model.insert(model.begin(), typed);
        if (model.size() > PathHistory::kMaxEntries) model.resize(PathHistory::kMaxEntries);
        history.Update(typed);
        if (history.entries() != model) Fail("history update");

        // What is saved reads back, as far as the saved entries reach.
        InMemoryProfileStore fresh;
        history.Save(fresh);
        PathHistory again{std::string(section)};
        again.Load(fresh);
        if (again.entries() != model) Fail("history round trip");
    }
    return 0;
}
