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

// A name with control bytes cannot break the layout or steer the terminal.
TEST(TerminalFileOperationUi, ControlBytesInNamesAreShownEscaped) {
    std::istringstream in;
    std::ostringstream out, progress;
    const std::string hostile = "/z/a\nb\033[2Jc";
    {
        TerminalFileOperationUi ui(in, out, progress, true);
        ui.confirmFolderCreation(hostile);
        ui.confirmOverwrite({hostile, 1, 0, 0}, {hostile, 2, 0, 0}, false);
        ui.reportError(hostile, "kaputt");
        ui.progress({hostile, 0, 1, 0, 1});
    }
    for (const std::string& text : {out.str(), progress.str()}) {
        EXPECT_EQ(text.find("a\nb"), std::string::npos);
        EXPECT_EQ(text.find("\033[2J"), std::string::npos);
        EXPECT_NE(text.find("a\\x0ab\\x1b[2Jc"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace kirvo
