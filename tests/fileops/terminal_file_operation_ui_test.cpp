#include "fileops/terminal_file_operation_ui.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kirvo {
namespace {

TEST(TerminalFileOperationUi, ReadsAnswersAndTakesTheSafeChoiceOtherwise) {
    std::istringstream in("j\n  A \nx\n\nvielleicht\nja\nw\na\n\nx\n");
    std::ostringstream out, progress;
    TerminalFileOperationUi ui(in, out, progress, false);
    EXPECT_EQ(ui.confirmFolderCreation("/z/neu"), ConfirmAnswer::Yes);
    EXPECT_EQ(ui.confirmFolderCreation("/z/neu"), ConfirmAnswer::YesToAll);
    EXPECT_EQ(ui.confirmOverwrite({"/q/f", 1, 0, 0}, {"/z/f", 2, 0, 0}, true), ConfirmAnswer::Cancel);
    EXPECT_EQ(ui.confirmOverwrite({"/q/f", 1, 0, 0}, {"/z/f", 2, 0, 0}, false), ConfirmAnswer::No);  // empty line
    const DeleteRequest three{3, TreeSide::Target, {"a", "b", "c"}, false};
    EXPECT_FALSE(ui.confirmDelete(three));  // unknown answer
    EXPECT_TRUE(ui.confirmDelete(three));
    EXPECT_EQ(ui.reportError("/z/f", "kaputt"), ErrorAnswer::Retry);
    EXPECT_EQ(ui.reportError("/z/f", "kaputt"), ErrorAnswer::SkipAll);
    EXPECT_EQ(ui.reportError("/z/f", "kaputt"), ErrorAnswer::Skip);
    EXPECT_EQ(ui.reportError("/z/f", "kaputt"), ErrorAnswer::Cancel);
    // End of input: the safe choices.
    EXPECT_EQ(ui.confirmOverwrite({"/q/f", 1, 0, 0}, {"/z/f", 2, 0, 0}, true), ConfirmAnswer::No);
    EXPECT_FALSE(ui.confirmDelete({1, TreeSide::Source, {"a"}, true}));
    EXPECT_EQ(ui.reportError("/z/f", "kaputt"), ErrorAnswer::Skip);
    EXPECT_NE(out.str().find("Sollen die 3 Dateien im Ziel endgültig gelöscht werden?\n\n„a“\n„b“\n„c“ [j/N]"),
              std::string::npos);
    EXPECT_NE(out.str().find("„/z/f“\n\nkaputt."), std::string::npos);
    EXPECT_TRUE(ui.progress({"/q/f", 0, 1, 0, 1}));
    EXPECT_TRUE(progress.str().empty());
    ui.requestCancel();
    EXPECT_FALSE(ui.progress({"/q/f", 0, 1, 0, 1}));
}

}  // namespace
}  // namespace kirvo

namespace kirvo {
namespace {

// A name, a reason or a notice can neither break the layout nor steer the
// terminal nor reorder what it shows: what could is written as an escape.
TEST(TerminalFileOperationUi, ControlBytesInNamesAreShownEscaped) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"a\nb\033[2Jc", "a\\nb\\x1B[2Jc"},                       // C0 controls
        {"tab\tcr\rdel\x7f", "tab\\tcr\\rdel\\x7F"},
        {"back\\slash", "back\\\\slash"},                         // so every escape is unambiguous
        {"csi\xc2\x9b" "2J", "csi\\u009B2J"},                    // C1 control as UTF-8
        {"raw\x9b" "2J\x85", "raw\\x9B2J\\x85"},                  // C1 control as a raw byte
        {"fdp.exe\xe2\x80\xaetxt", "fdp.exe\\u202Etxt"},         // right-to-left override
        {"\xd8\x9c\xe2\x80\x8e\xe2\x80\x8f\xe2\x80\xaa\xe2\x81\xa6\xe2\x81\xa9",
         "\\u061C\\u200E\\u200F\\u202A\\u2066\\u2069"},  // the other bidi controls
        {"bad\xff\xc3(\xe2\x82", "bad\\xFF\\xC3(\\xE2\\x82"},    // not UTF-8, cut short
        {"\xc0\xaf\xed\xa0\x80", "\\xC0\\xAF\\xED\\xA0\\x80"},  // overlong, surrogate
        {"umlaut \xc3\xa4 \xe2\x82\xac \xf0\x9f\x98\x80 \xe2\x80\x8b",
         "umlaut \xc3\xa4 \xe2\x82\xac \xf0\x9f\x98\x80 \xe2\x80\x8b"},  // left as they are
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        std::istringstream in;
        std::ostringstream out, progress;
        {
            TerminalFileOperationUi ui(in, out, progress, true);
            ui.confirmFolderCreation(c.text);
            ui.confirmOverwrite({c.text, 1, 0, 0}, {c.text, 2, 0, 0}, false);
            ui.reportError("/z/f", c.text);
            ui.notify(c.text);
            ui.progress({c.text, 0, 1, 0, 1});
        }
        const std::string text = out.str();
        size_t seen = 0;
        for (size_t at = text.find(c.shown); at != std::string::npos; at = text.find(c.shown, at + 1)) ++seen;
        EXPECT_EQ(seen, 5u) << text;  // folder, both files, the reason and the notice
        EXPECT_NE(progress.str().find(c.shown), std::string::npos) << progress.str();
        if (c.text != c.shown) EXPECT_EQ((text + progress.str()).find(c.text), std::string::npos);
    }
}

}  // namespace
}  // namespace kirvo
