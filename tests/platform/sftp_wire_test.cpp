#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sftp/sftp_wire.h"

namespace kirvo::sftp {
namespace {

// The fields of a reply after its id, built as a server would send them.
std::string Body(Packet& packet) { return packet.finish(7).substr(9); }

// What a hostile server may put into a NAME or HANDLE reply: strings one
// byte short or far too long, counts past the end of the packet. Each is
// refused as a whole (no name of it kept), never read past its bytes.
TEST(SftpWire, RepliesThatDoNotHoldWhatTheySayAreRefused) {
    Attributes file;
    file.flags = kAttrSize | kAttrPermissions | kAttrTimes;
    file.size = 5;
    file.permissions = kTypeFile | 0644;
    file.mtime = 1'300'000'000;
    const auto name = [&](Packet& p, const std::string& text) -> Packet& { return p.str(text).str("-rw- " + text).attrs(file); };
    const auto cut = [](std::string body, size_t bytes) { return body.substr(0, body.size() - bytes); };
    Packet two(kName), one(kName), none(kName), huge(kName), shortName(kName), longName(kName), extended(kName);
    const std::string sound = Body(name(name(two.u32(2), "a.txt"), "b.txt"));
    const struct {
        const char* name;
        std::string body;
        size_t names;  // read; 0 with `refused`
        bool refused;
    } cases[] = {
        {"two names", sound, 2, false},
        {"no name", Body(none.u32(0)), 0, false},
        {"the last byte missing", cut(sound, 1), 0, true},
        {"only the count", sound.substr(0, 4), 0, true},
        {"count one short of the bytes", Body(name(one.u32(2), "a.txt")), 0, true},
        {"count far past the packet", Body(name(huge.u32(0xFFFFFFFF), "a.txt")), 0, true},
        {"name one byte longer than sent", Body(shortName.u32(1).u32(6).str("a.txt")), 0, true},
        {"name of 4 GiB", Body(longName.u32(1).u32(0xFFFFFFFF).str("a.txt")), 0, true},
        {"extended pairs past the packet", Body(extended.u32(1).str("x").str("x").u32(kAttrExtended).u32(1000).str("k")), 0, true},
        {"empty", "", 0, true},
    };
    for (const auto& c : cases) {
        std::vector<Name> names;
        EXPECT_EQ(ParseNames(c.body, names), !c.refused) << c.name;
        EXPECT_EQ(names.size(), c.names) << c.name;
    }
    std::vector<Name> names;
    ASSERT_TRUE(ParseNames(sound, names));
    EXPECT_EQ(names[1].name, "b.txt");
    EXPECT_EQ(names[1].attributes.mtime, 1'300'000'000u);
    EXPECT_EQ(names[1].attributes.type(), kTypeFile);

    Packet empty(kHandle), most(kHandle), tooLong(kHandle), shortHandle(kHandle);
    const struct {
        const char* name;
        std::string body;
        bool accepted;
    } handles[] = {
        {"empty handle", Body(empty.str("")), false},
        {"256 bytes", Body(most.str(std::string(256, 'h'))), true},
        {"257 bytes", Body(tooLong.str(std::string(257, 'h'))), false},
        {"one byte short", cut(Body(shortHandle.str("abc")), 1), false},
    };
    for (const auto& h : handles) {
        std::string handle;
        EXPECT_EQ(ParseHandle(h.body, handle), h.accepted) << h.name;
    }
}

}  // namespace
}  // namespace kirvo::sftp
