#include "fileops/file_operation_texts.h"

#include <gtest/gtest.h>

#include "support/temp_tree.h"

namespace kirvo {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(FileOperationTexts, OverwriteQuestionShowsBothFilesSizesAndLocalDates) {
    const FileFacts source{"/q/a.txt", 1234567, test::LocalEpoch(2024, 3, 9, 14, 5, 6), 0};
    const FileFacts destination{"/z/a.txt", 1, test::LocalEpoch(2023, 12, 31, 23, 59, 59), 0};
    const std::string plain = FileOperationTexts::OverwriteQuestion(source, destination, false);
    EXPECT_TRUE(Contains(plain, "„/z/a.txt“"));
    EXPECT_TRUE(Contains(plain, "„/q/a.txt“"));
    EXPECT_TRUE(Contains(plain, "1234567 Bytes, geändert am 9.03.2024 14:05:06"));
    EXPECT_TRUE(Contains(plain, "1 Byte, geändert am 31.12.2023 23:59:59"));
    EXPECT_FALSE(Contains(plain, "neuer"));
    EXPECT_TRUE(Contains(FileOperationTexts::OverwriteQuestion(source, destination, true), "neuer"));
}

TEST(FileOperationTexts, CountsAndProgress) {
    // The delete question names side, files and what happens to them.
    EXPECT_EQ(FileOperationTexts::DeleteQuestion({1, TreeSide::Target, {"brief.odt"}, true}),
              "Soll „brief.odt“ im Ziel in den Papierkorb verschoben werden?");
    EXPECT_EQ(FileOperationTexts::DeleteQuestion({1, TreeSide::Source, {"a/b.txt"}, false}),
              "Soll „a/b.txt“ in der Quelle endgültig gelöscht werden?");
    EXPECT_EQ(FileOperationTexts::DeleteQuestion({12, TreeSide::Source, {"1", "2", "3", "4", "5"}, true}),
              "Sollen die 12 Dateien in der Quelle in den Papierkorb verschoben werden?\n\n„1“\n„2“\n„3“\n„4“\n„5“\n"
              "und 7 weitere");
    EXPECT_EQ(FileOperationTexts::ProgressLine({"", 2, 10, 1000, 2500000}),
              "Datei 3 von 10 – 1000 von 2500000 Bytes");
    EXPECT_EQ(FileOperationTexts::ProgressLine({"", 10, 10, 0, 0}), "Datei 10 von 10");
    EXPECT_EQ(FileOperationTexts::TransferLine({"", 2, 10, 864'026'624, 2'147'483'648}),
              "Datei 3 von 10 – 824.0 MB von 2.0 GB");
    EXPECT_EQ(FileOperationTexts::RateLine(47'500'000, 18.4), "45.3 MB/s – noch etwa 19 s");
    EXPECT_EQ(FileOperationTexts::RateLine(47'500'000, 0.2), "45.3 MB/s – noch etwa 1 s");
    EXPECT_EQ(FileOperationTexts::RateLine(512, 3725), "512 Bytes/s – noch etwa 1 Std. 02 Min.");
    EXPECT_EQ(FileOperationTexts::RateLine(2048, 65), "2 KB/s – noch etwa 1 Min. 05 s");
    EXPECT_EQ(FileOperationTexts::RateLine(2048, -1), "2 KB/s");
}

}  // namespace
}  // namespace kirvo
