// Fuzzes the reading of what an SFTP server sends back: the names of a NAME
// reply and a HANDLE reply, from any bytes a hostile server may send. Never
// a read past the bytes, never a huge allocation from a count; the result is
// checked against a plain model of the wire format that reads with 64-bit
// positions: the same names and attributes, or a refusal in both.
// Input: the body of a reply after its id.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sftp/sftp_wire.h"

namespace {

using kirvo::sftp::Attributes;
using kirvo::sftp::Name;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "model mismatch: %s\n", what.c_str());
    std::abort();
}

struct Model {
    std::string_view bytes;
    uint64_t at = 0;

    std::optional<uint32_t> u32() {
        if (at + 4 > bytes.size()) return std::nullopt;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(bytes[at++]);
        return v;
    }
    std::optional<std::string_view> str() {
        const auto n = u32();
        if (!n || at + *n > bytes.size()) return std::nullopt;
        const std::string_view s = bytes.substr(at, *n);
        at += *n;
        return s;
    }
    std::optional<Attributes> attrs() {
        Attributes a;
        const auto flags = u32();
        if (!flags) return std::nullopt;
        a.flags = *flags;
        const auto field = [&](uint32_t& into) {
            const auto v = u32();
            if (v) into = *v;
            return v.has_value();
        };
        if (a.flags & kirvo::sftp::kAttrSize) {
            uint32_t high = 0, low = 0;
            if (!field(high) || !field(low)) return std::nullopt;
            a.size = (uint64_t{high} << 32) | low;
        }
        if ((a.flags & kirvo::sftp::kAttrUidGid) && (!field(a.uid) || !field(a.gid))) return std::nullopt;
        if ((a.flags & kirvo::sftp::kAttrPermissions) && !field(a.permissions)) return std::nullopt;
        if ((a.flags & kirvo::sftp::kAttrTimes) && (!field(a.atime) || !field(a.mtime))) return std::nullopt;
        if (a.flags & kirvo::sftp::kAttrExtended) {
            const auto count = u32();
            if (!count) return std::nullopt;
            for (uint64_t i = 0; i < *count; ++i)
                if (!str() || !str()) return std::nullopt;
        }
        return a;
    }
};

bool Same(const Attributes& a, const Attributes& b) {
    return a.flags == b.flags && a.size == b.size && a.uid == b.uid && a.gid == b.gid &&
           a.permissions == b.permissions && a.atime == b.atime && a.mtime == b.mtime;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string copy(reinterpret_cast<const char*>(data), size);
    const std::string_view bytes(copy);

    std::vector<Name> names = {Name{"before", {}}};
    const bool parsed = kirvo::sftp::ParseNames(bytes, names);
    Model model{bytes};
    std::vector<Name> expected = {Name{"before", {}}};
    bool modelled = false;
    if (const auto count = model.u32()) {
        modelled = true;
        for (uint64_t i = 0; i < *count && modelled; ++i) {
            const auto name = model.str();
            const auto longName = name ? model.str() : std::nullopt;
            const auto attributes = longName ? model.attrs() : std::nullopt;
            if (!attributes) modelled = false;
            else expected.push_back({*name, *attributes});
        }
    }
    if (parsed != modelled) Fail(parsed ? "names read from a broken reply" : "a sound reply refused");
    if (!parsed) expected.resize(1);
    if (names.size() != expected.size()) Fail("a different number of names");
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].name != expected[i].name || !Same(names[i].attributes, expected[i].attributes))
            Fail("name " + std::to_string(i) + " differs");
        if (i > 0 && (names[i].name.data() < bytes.data() || names[i].name.data() + names[i].name.size() > bytes.data() + bytes.size()))
            Fail("a name outside the reply");
    }

    std::string handle = "old";
    Model handleModel{bytes};
    const auto handleText = handleModel.str();
    const bool handleSound = handleText && !handleText->empty() && handleText->size() <= 256;
    if (kirvo::sftp::ParseHandle(bytes, handle) != handleSound) Fail("handle accepted or refused wrongly");
    if (handleSound ? handle != *handleText : handle != "old") Fail("handle text");
    return 0;
}
