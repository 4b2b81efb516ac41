#include "view/file_difference.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_tree.h"

namespace kirvo {
namespace {

// Lines of a short text: one character per line.
std::vector<std::string_view> Chars(std::string_view text) {
    std::vector<std::string_view> lines;
    for (size_t i = 0; i < text.size(); ++i) lines.push_back(text.substr(i, 1));
    return lines;
}

// Blocks as "=n" for equal runs and "-a+b" for changes.
std::string Shape(const LineDiff& diff) {
    std::string shape;
    for (const DiffBlock& b : diff.blocks) {
        shape += b.equal ? "=" + std::to_string(b.leftCount)
                         : "-" + std::to_string(b.leftCount) + "+" + std::to_string(b.rightCount);
        shape += ' ';
    }
    return shape;
}

TEST(LineDiff, ShortestEditAsBlocks) {
    const struct {
        const char* left;
        const char* right;
        size_t maxEdits;
        const char* shape;
    } cases[] = {
        {"abc", "abc", 10, "=3 "},
        {"", "", 10, ""},
        {"", "ab", 10, "-0+2 "},
        {"abc", "", 10, "-3+0 "},
        {"abcdef", "abXdef", 10, "=2 -1+1 =3 "},
        {"abcabba", "cbabac", 20, "-2+0 =1 -0+1 =2 -1+0 =1 -0+1 "},  // Myers' own example: 5 edits
        {"axbycz", "abc", 10, "=1 -1+0 =1 -1+0 =1 -1+0 "},
        {"aXXXXb", "aYYYYb", 3, "=1 -4+4 =1 "},  // too many edits: one change between the common ends
    };
    for (const auto& c : cases) {
        const std::vector<std::string_view> left = Chars(c.left), right = Chars(c.right);
        const LineDiff diff = DiffLines(left, right, c.maxEdits);
        EXPECT_EQ(Shape(diff), c.shape) << c.left << " / " << c.right;
        EXPECT_EQ(diff.gaveUp, c.maxEdits == 3) << c.left;
        // The blocks cover both texts in order, and equal blocks are equal.
        size_t x = 0, y = 0;
        for (const DiffBlock& b : diff.blocks) {
            EXPECT_EQ(b.leftStart, x);
            EXPECT_EQ(b.rightStart, y);
            for (size_t i = 0; b.equal && i < b.leftCount; ++i) EXPECT_EQ(left[x + i], right[y + i]);
            x += b.leftCount;
            y += b.rightCount;
        }
        EXPECT_EQ(x, left.size());
        EXPECT_EQ(y, right.size());
    }
}

TEST(FileDifference, TextLinesBinaryOffsetsAndBounds) {
    test::TempDir dir;
    const std::string big(FileDifference::kMaxTextBytes + 100, 'x');
    std::string binary(5000, '\0');
    std::string otherBinary = binary;
    otherBinary[4321] = 'y';
    test::MakeTree(dir.path(), {{"a.txt", 0, "eins\r\nzwei\ndrei"}, {"b.txt", 0, "eins\nzwo\ndrei\nvier\n"},
                                {"big1", 0, big}, {"big2", 0, big + "y"}, {"bin1", 0, binary},
                                {"bin2", 0, otherBinary}, {"bin3", 0, binary + "mehr"}});
    const FileDifference text = FileDifference::Compare(dir / "a.txt", dir / "b.txt");
    ASSERT_TRUE(text.readable());
    EXPECT_FALSE(text.binary);
    EXPECT_EQ(text.left.lines, (std::vector<std::string>{"eins", "zwei", "drei"}));
    EXPECT_EQ(Shape(text.lines), "=1 -1+1 =1 -0+1 ");
    EXPECT_FALSE(text.equal());

    const FileDifference cut = FileDifference::Compare(dir / "big1", dir / "big2");
    EXPECT_TRUE(cut.left.cut && cut.right.cut);
    EXPECT_TRUE(cut.equal());  // as far as was read

    const FileDifference bin = FileDifference::Compare(dir / "bin1", dir / "bin2");
    EXPECT_TRUE(bin.binary);
    EXPECT_EQ(bin.firstDifference, 4321u);
    const FileDifference longer = FileDifference::Compare(dir / "bin1", dir / "bin3");
    EXPECT_EQ(longer.firstDifference, 5000u);
    EXPECT_EQ(longer.right.size, 5004u);
    EXPECT_TRUE(FileDifference::Compare(dir / "bin1", dir / "bin1").equal());

    const FileDifference missing = FileDifference::Compare(dir / "a.txt", dir / "fehlt");
    EXPECT_FALSE(missing.readable());
    EXPECT_FALSE(missing.right.error.empty());
}

}  // namespace
}  // namespace kirvo
