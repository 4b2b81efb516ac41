// The comparison settings ("Vergleich"): by time, by time and size, by
// content; and the daylight-saving hour ("Stunde").
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/content_progress.h"
#include "engine/run_options.h"
#include "engine/tree_matcher.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace kirvo {
namespace {

using test::LocalEpoch;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kT = 1'300'000'000;  // 13 March 2011
constexpr int kConflict = static_cast<int>(Verdict::Conflict);

struct Trees {
    TempDir dir;
    std::string source = dir / "quelle";
    std::string target = dir / "ziel";
    TreeMatcher matcher;

    void Run(RunOptions options) {
        std::string s = source, t = target;
        matcher.Run(Root::Local(s), Root::Local(t), options);
    }
    // The verdict of the one pair "f".
    int32_t VerdictOfF() const { return matcher.pairs().size() == 1 ? static_cast<int32_t>(matcher.pairs()[0].verdict) : -99; }
    std::string Reason() const { return std::string(matcher.conflictReason(0)); }
};

RunOptions Options(CompareBy by, bool ignoreHour = false, bool tolerance = true) {
    RunOptions options;
    options.compareBy = by;
    options.ignoreHour = ignoreHour;
    options.twoSecondTolerance = tolerance;
    return options;
}

TEST(CompareBy, VerdictUnderEachSettingFromSizesContentsTimesAndTheHour) {
    const std::string kilo(3 << 20, 'k');  // over one read piece
    std::string kiloLastDiffers = kilo;
    kiloLastDiffers.back() = 'K';
    struct Case {
        const char* what;
        std::string source;
        int64_t sourceTime;
        std::string target;
        int64_t targetTime;
        bool ignoreHour;
        int byTime, byTimeAndSize, byContent;
    };
    const int64_t endOfMarch = LocalEpoch(2011, 3, 31, 23, 30, 0);
    const int64_t startOfApril = LocalEpoch(2011, 4, 1, 0, 30, 0);
    const Case cases[] = {
        {"same everything", "abcdefghij", kT, "abcdefghij", kT, false, 0, 0, 0},
        {"same size and time, other bytes", "abcdefghij", kT, "abcdefghiX", kT, false, 0, 0, kConflict},
        {"10 and 20 bytes one second apart", "0123456789", kT + 1, "01234567890123456789", kT, false, 0, kConflict,
         kConflict},
        {"other size, source newer", "short", kT + 60, "a bit longer", kT, false, 1, 1, 1},
        {"other size, target newer", "short", kT, "a bit longer", kT + 60, false, -1, -1, -1},
        {"same bytes, source newer", "same", kT + 60, "same", kT, false, 1, 1, 0},
        {"same bytes, target newer", "same", kT, "same", kT + 60, false, -1, -1, 0},
        {"other bytes, target newer", "abcd", kT, "abcX", kT + 60, false, -1, -1, -1},
        {"large, last byte differs", kilo, kT, kiloLastDiffers, kT, false, 0, 0, kConflict},
        {"large, identical", kilo, kT + 60, kilo, kT, false, 1, 1, 0},
        {"two empty files", "", kT + 60, "", kT, false, 1, 1, 0},
        {"an hour apart, hour not ignored", "same", kT + 3600, "same", kT, false, 1, 1, 0},
        {"an hour apart, hour ignored", "same", kT + 3600, "same", kT, true, 0, 0, 0},
        {"an hour apart the other way", "abcd", kT, "abcX", kT + 3600, true, 0, 0, kConflict},
        {"an hour and 2 s apart, hour ignored", "same", kT + 3602, "same", kT, true, 0, 0, 0},
        {"an hour and 3 s apart, hour ignored", "same", kT + 3603, "same", kT, true, 1, 1, 0},
        {"59 minutes apart, hour ignored", "same", kT + 3540, "same", kT, true, 1, 1, 0},
        {"an hour across a month, ignored", "same", endOfMarch, "same", startOfApril, true, 0, 0, 0},
        {"an hour across a month, not ignored", "same", endOfMarch, "same", startOfApril, false, -1, -1, 0},
        {"an hour apart, other sizes", "short", kT + 3600, "a bit longer", kT, true, 0, kConflict, kConflict},
        // "->text": a link with that text, taken as itself (links copied as links).
        {"two links, same text", "->abcdefghij", kT, "->abcdefghij", kT, false, 0, 0, 0},
        {"two links, same length, other text", "->abcdefghij", kT, "->abcdefghiX", kT, false, 0, 0, kConflict},
        {"a link and a file holding its text", "->abcdefghij", kT, "abcdefghij", kT, false, 0, 0, kConflict},
        {"two links, source newer", "->same", kT + 60, "->same", kT, false, 1, 1, 0},
    };
    const auto make = [](const std::string& path, const std::string& content, int64_t time) {
        if (content.rfind("->", 0) != 0) return WriteFile(path, content, time);
        test::MakeDirs(path.substr(0, path.rfind('/')));
        ASSERT_EQ(symlink(content.c_str() + 2, path.c_str()), 0);
        const struct timespec times[2] = {{time, 0}, {time, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    };
    for (const Case& c : cases) {
        Trees t;
        make(t.source + "/f", c.source, c.sourceTime);
        make(t.target + "/f", c.target, c.targetTime);
        const CompareBy settings[] = {CompareBy::Time, CompareBy::TimeAndSize, CompareBy::Content};
        const int expected[] = {c.byTime, c.byTimeAndSize, c.byContent};
        for (int i = 0; i < 3; ++i) {
            RunOptions options = Options(settings[i], c.ignoreHour);
            options.links = LinkMode::Copy;
            t.Run(options);
            EXPECT_EQ(t.VerdictOfF(), expected[i]) << c.what << ", Vergleich " << i;
            EXPECT_EQ(t.Reason().empty(), expected[i] != kConflict) << c.what << ", Vergleich " << i;
        }
    }
    // Without the tolerance the hour must be exact.
    Trees t;
    WriteFile(t.source + "/f", "same", kT + 3601);
    WriteFile(t.target + "/f", "same", kT);
    t.Run(Options(CompareBy::Time, true, false));
    EXPECT_EQ(t.VerdictOfF(), 1);
}

// Counts what the platform's reader opens and reads.
struct Counts {
    std::map<std::string, int> opens;
    std::map<std::string, uint64_t> bytes;
};

class CountingContent final : public OpenedContent {
public:
    CountingContent(std::unique_ptr<OpenedContent> inner, uint64_t& bytes) : inner_(std::move(inner)), bytes_(bytes) {}
    int read(char* buffer, size_t size, size_t& got) override {
        const int error = inner_->read(buffer, size, got);
        bytes_ += got;
        return error;
    }
    int checkUnchanged() override { return inner_->checkUnchanged(); }

private:
    std::unique_ptr<OpenedContent> inner_;
    uint64_t& bytes_;
};

class CountingReader final : public ContentReader {
public:
    CountingReader(const std::string& root, Counts& counts) : inner_(MakeContentReader(root)), root_(root), counts_(counts) {}
    int open(std::string_view relative, std::unique_ptr<OpenedContent>& file, ContentIdentity& identity) override {
        const std::string key = root_ + std::string(relative);
        ++counts_.opens[key];
        const int error = inner_->open(relative, file, identity);
        if (file) file = std::make_unique<CountingContent>(std::move(file), counts_.bytes[key]);
        return error;
    }

private:
    std::unique_ptr<ContentReader> inner_;
    std::string root_;
    Counts& counts_;
};

TEST(CompareBy, ContentsAreReadOnceAndOnlyUpToTheFirstDifference) {
    Trees t;
    const uint64_t size = 8u << 20;
    const std::string big(size, 'b');
    std::string bigFirstDiffers = big;
    bigFirstDiffers[10] = 'X';
    WriteFile(t.source + "/a/same", big, kT);
    WriteFile(t.target + "/a/same", big, kT);
    WriteFile(t.source + "/a/early", big, kT);
    WriteFile(t.target + "/a/early", bigFirstDiffers, kT);
    WriteFile(t.source + "/b/size", "four", kT);  // different sizes: never opened
    WriteFile(t.target + "/b/size", "three", kT);
    Counts counts;
    RunOptions options = Options(CompareBy::Content);
    options.readers = [&counts](const std::string& root) { return std::make_unique<CountingReader>(root, counts); };
    ContentProgress progress;
    options.contentProgress = &progress;
    options.deferContents = true;
    t.Run(options);
    EXPECT_TRUE(counts.opens.empty()) << "nothing read before CompareContents";
    EXPECT_TRUE(t.matcher.CompareContents());
    EXPECT_TRUE(t.matcher.CompareContents()) << "a second call reads nothing";
    for (const char* side : {"/quelle/", "/ziel/"}) {
        const std::string root = t.dir.path() + side;
        EXPECT_EQ(counts.opens[root + "a/same"], 1) << side;
        EXPECT_EQ(counts.opens[root + "a/early"], 1) << side;
        EXPECT_EQ(counts.opens.count(root + "b/size"), 0u) << side;
        EXPECT_EQ(counts.bytes[root + "a/same"], size) << side;
        EXPECT_LT(counts.bytes[root + "a/early"], size / 4) << side;
    }
    // Progress counts every byte of the pairs read, the rest after a difference too.
    EXPECT_EQ(progress.bytesTotal(), static_cast<int64_t>(4 * size));
    EXPECT_EQ(progress.bytesDone(), progress.bytesTotal());
    EXPECT_EQ(progress.pairsDone(), 2);
    std::vector<int32_t> verdicts;
    for (const FilePair& pair : t.matcher.pairs()) verdicts.push_back(static_cast<int32_t>(pair.verdict));
    EXPECT_EQ(verdicts, (std::vector<int32_t>{kConflict, 0, kConflict}));  // a/early, a/same, b/size
}

TEST(CompareBy, FilesThatVanishChangeOrCannotBeReadAreConflictsWithTheirReason) {
    Trees t;
    for (const char* name : {"gone", "changed", "locked", "fine"}) {
        WriteFile(t.source + "/" + name, "contents", kT + 60);
        WriteFile(t.target + "/" + name, "contents", kT);
    }
    RunOptions options = Options(CompareBy::Content);
    options.deferContents = true;
    t.Run(options);
    unlink((t.target + "/gone").c_str());
    WriteFile(t.source + "/changed", "CONTENTS", kT + 60, 500'000'000);
    chmod((t.target + "/locked").c_str(), 0);
    const std::string result = test::Unprivileged(t.dir.path(), [&] {
        std::string out;
        t.matcher.CompareContents();
        for (size_t i = 0; i < t.matcher.pairs().size(); ++i) {
            const FilePair& pair = t.matcher.pairs()[i];
            if (!pair.source || !pair.target) continue;
            out += pair.source->relativePath() + " " + std::to_string(static_cast<int>(pair.verdict)) + " " +
                   std::string(t.matcher.conflictReason(i)) + "\n";
        }
        return out;
    });
    EXPECT_EQ(result,
              "changed 3 Die Datei in der Quelle wurde seit dem Vergleich geändert.\n"
              "fine 0 \n"
              "gone 3 Die Datei im Ziel ist seit dem Vergleich verschwunden.\n"
              "locked 3 Die Datei im Ziel lässt sich nicht lesen: " + SystemErrorText(EACCES) + ".\n");
}

TEST(CompareBy, StoppingTheReadingGivesBackTheTimeVerdicts) {
    Trees t;
    WriteFile(t.source + "/f", "abcd", kT);
    WriteFile(t.target + "/f", "abcX", kT + 60);
    WriteFile(t.source + "/g", "size", kT);
    WriteFile(t.target + "/g", "sizes", kT);
    RunOptions options = Options(CompareBy::Content);
    ContentProgress progress;
    progress.RequestStop();
    options.contentProgress = &progress;
    options.deferContents = true;
    t.Run(options);
    EXPECT_FALSE(t.matcher.CompareContents());
    ASSERT_EQ(t.matcher.pairs().size(), 2u);
    EXPECT_EQ(t.matcher.pairs()[0].verdict, Verdict::TargetToSource);
    EXPECT_EQ(t.matcher.pairs()[1].verdict, Verdict::Equal) << "as by time alone";
    EXPECT_TRUE(t.matcher.conflictReason(1).empty());
}

}  // namespace
}  // namespace kirvo
