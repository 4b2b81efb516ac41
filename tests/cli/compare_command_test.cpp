#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/error_text.h"
#include "cli/cli_test_run.h"
#include "cli/cli_command.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace kirvo {
namespace {

using test::LocalEpoch;
using test::MakeTree;
using test::TempDir;
using test::WriteFile;

using test::Cli;
using test::CliResult;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(CompareCommand, TsvListsRowsThenTheFourFields) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    MakeTree(q, {{"a.txt", LocalEpoch(2010, 12, 24, 18, 30, 0), "abc"},
                 {"X/b.txt", LocalEpoch(2009, 3, 6, 7, 5, 9), std::string(1536, 'b')}});
    MakeTree(z, {{"a.txt", LocalEpoch(2010, 12, 24, 18, 30, 1), "abcd"},
                 {"X/b.txt", LocalEpoch(2009, 3, 1, 7, 5, 9), "bb"},
                 {"X/c.txt", LocalEpoch(2011, 1, 2, 3, 4, 5), std::string(2048, 'c')}});
    const CliResult r = Cli({"compare", "--format=tsv", "--filter=all", q, z});
    EXPECT_EQ(r.status, kExitUnequal);
    EXPECT_EQ(r.err, "");
    const std::string expected =
        "3\t" + q + "/\t\t\t\t\t" + z + "/\t\t\t\n"
        "4\ta.txt\t3 Byte\t24.12.2010 18:30:00\ta.txt\t=\ta.txt\t4 Byte\t24.12.2010 18:30:01\ta.txt\n"
        "3\t" + q + "/X/\t\t\t\t\t" + z + "/X/\t\t\t\n"
        "2\tb.txt\t2 KB\t 6.03.2009 07:05:09\tX/b.txt\t--->\tb.txt\t2 Byte\t 1.03.2009 07:05:09\tX/b.txt\n"
        "3\t\t\t\t\t\t" + z + "/X/\t\t\t\n"
        "2\t\t\t\t\t<---\tc.txt\t2 KB\t 2.01.2011 03:04:05\tX/c.txt\n"
        "1009\t2 Dateien in 2 Ordner mit 2 KB (1539 Byte) \n"
        "1010\t3 Dateien in 3 Ordner mit 2 KB (2054 Byte) \n"
        "1011\t1 Dateien mit 2 KB (1536 Byte) ausgewählt \n"
        "1012\t2 Dateien mit 2 KB (2050 Byte) ausgewählt \n";
    EXPECT_EQ(r.out, expected);

    // The default filter shows the unequal rows only. The first shown pair
    // seeds the target marker with its folder number, so c.txt needs no
    // folder row of its own this time.
    const CliResult unequal = Cli({"compare", "--format=tsv", q, z});
    EXPECT_EQ(Lines(unequal.out), (std::vector<std::string>{
                                      "3\t" + q + "/X/\t\t\t\t\t" + z + "/X/\t\t\t",
                                      "2\tb.txt\t2 KB\t 6.03.2009 07:05:09\tX/b.txt\t--->\tb.txt\t2 Byte\t 1.03.2009 07:05:09\tX/b.txt",
                                      "2\t\t\t\t\t<---\tc.txt\t2 KB\t 2.01.2011 03:04:05\tX/c.txt",
                                      "1009\t1 Dateien in 1 Ordner mit 2 KB (1536 Byte) ",
                                      "1010\t2 Dateien in 1 Ordner mit 2 KB (2050 Byte) ",
                                      "1011\t1 Dateien mit 2 KB (1536 Byte) ausgewählt ",
                                      "1012\t2 Dateien mit 2 KB (2050 Byte) ausgewählt "}));
    EXPECT_EQ(unequal.status, kExitUnequal);
    const CliResult equalOnly = Cli({"compare", "--format", "tsv", "--filter=equal", q, z});
    EXPECT_EQ(equalOnly.status, kExitUnequal);
    EXPECT_EQ(Lines(equalOnly.out)[1].substr(0, 8), "4\ta.txt\t");
}

TEST(CompareCommand, ExitStatusZeroWhenNothingIsUnequal) {
    TempDir dir;
    MakeTree(dir / "q", {{"same.txt", 1'300'000'000}, {"near.txt", 1'300'000'000}});
    MakeTree(dir / "z", {{"same.txt", 1'300'000'000}, {"near.txt", 1'300'000'002}});
    for (const char* filter : {"all", "unequal", "to-target", "to-source", "equal"}) {
        const CliResult r = Cli({"compare", std::string("--filter=") + filter, dir / "q", dir / "z"});
        EXPECT_EQ(r.status, kExitEqual) << filter;
    }
    // Without the tolerance the two-second difference counts.
    const CliResult strict = Cli({"compare", "--no-tolerance", "--format=tsv", dir / "q", dir / "z"});
    EXPECT_EQ(strict.status, kExitUnequal);
    EXPECT_NE(strict.out.find("\tnear.txt\t<---\t"), std::string::npos);
}

TEST(CompareCommand, NamesAreWrittenAsTheirBytesWithFourEscapes) {
    TempDir dir;
    const std::string q = dir / "q";
    const std::vector<std::string> names = {"tab\there", "line\nfeed", "back\\slash", "cr\rret",
                                            "bad\xff\xfe", ".hidden", "pipe|name", "umlaut\xc3\xa4"};
    for (const std::string& name : names) WriteFile(q + "/" + name, "x", LocalEpoch(2011, 3, 8, 9, 10, 11));
    test::MakeDirs(dir / "z");
    const CliResult r = Cli({"compare", "--format=tsv", q, dir / "z"});
    ASSERT_EQ(r.status, kExitUnequal);
    const std::vector<std::string> escaped = {".hidden", "back\\\\slash", "bad\xff\xfe", "cr\\rret",
                                              "line\\nfeed", "pipe|name", "tab\\there", "umlaut\xc3\xa4"};
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1 + escaped.size() + 4);
    for (size_t i = 0; i < escaped.size(); ++i) {
        const std::string& e = escaped[i];
        EXPECT_EQ(lines[i + 1], "2\t" + e + "\t1 Byte\t 8.03.2011 09:10:11\t" + e + "\t--->\t\t\t\t") << i;
    }
}

TEST(CompareCommand, MissingRootsAreEmptyAndUnusableOnesUnknownWithExitFour) {
    TempDir dir;
    MakeTree(dir / "z", {{"t.txt", 1'300'000'000}});
    WriteFile(dir / "file", "x", 1'300'000'000);

    const CliResult missing = Cli({"compare", "--format=tsv", dir / "nowhere", dir / "z"});
    EXPECT_EQ(missing.status, kExitUnreadable);
    EXPECT_EQ(missing.err, "kirvo-cli compare: Hinweis: Die Quelle \"" + dir / "nowhere" +
                               "\" existiert nicht und wird als leer verglichen.\n");
    EXPECT_NE(missing.out.find("\t<---\tt.txt\t"), std::string::npos);

    // A root that is a file is no empty folder: what it would hold is unknown.
    const CliResult file = Cli({"compare", "--format=tsv", dir / "z", dir / "file"});
    EXPECT_EQ(file.status, kExitUnreadable);
    EXPECT_EQ(file.err.rfind("kirvo-cli compare: Ziel: nicht lesbar: " + dir / "file/ – ", 0), 0u) << file.err;
    EXPECT_NE(file.out.find("6\t\t\t\t\t?\tnicht lesbar: " + dir / "file/ – "), std::string::npos) << file.out;
    EXPECT_NE(file.out.find("6\tt.txt\t1 Byte\t"), std::string::npos) << file.out;

    const CliResult bothFine = Cli({"compare", dir / "z", dir / "z"});
    EXPECT_EQ(bothFine.err, "");
    EXPECT_EQ(bothFine.status, kExitEqual);

    // An unreadable root, without root's rights (root reads everything).
    const std::string kUnreadNote = "kirvo-cli compare: Nicht alles lesbar: was dort liegt, gilt als unbekannt, nicht "
                                    "als fehlend, und wird weder kopiert noch ersetzt.\n";
    test::MakeDirs(dir / "locked/inner");
    chmod((dir / "locked").c_str(), 0);
    const std::string locked = test::Unprivileged(dir.path(), [&] {
        std::string out;
        for (const std::string& root : {dir / "locked", dir / "locked/inner"}) {
            const CliResult r = Cli({"compare", root, dir / "z"});
            out += std::to_string(r.status) + " " + r.err + "\n";
        }
        return out;
    });
    // Whether a root below a folder that cannot be searched is there is unknown, not "missing".
    EXPECT_EQ(locked, "4 kirvo-cli compare: Quelle: nicht lesbar: " + dir / "locked/ – " + ErrorText(EACCES) +
                          "\n" + kUnreadNote + "\n4 kirvo-cli compare: Quelle: nicht lesbar: " + dir / "locked/inner/ – " +
                          ErrorText(EACCES) + "\n" + kUnreadNote + "\n");
}

// Without a thread to be had (ulimit -u, as an ordinary user: root is not
// held to it) the comparison reads with the calling thread alone: the same
// list, the same status, no abort.
TEST(CompareCommand, ThreadsThatCannotStartGiveTheSameResult) {
    TempDir dir;
    for (int i = 0; i < 60; ++i) {
        WriteFile(dir / ("q/" + std::to_string(i % 6) + "/f" + std::to_string(i)), "x", 1'300'000'000 + i % 3);
        WriteFile(dir / ("z/" + std::to_string(i % 4) + "/f" + std::to_string(i)), "x", 1'300'000'000);
    }
    const auto compare = [&] {
        const CliResult r = Cli({"compare", "--parallel=64", "--filter=all", "--format=tsv", dir / "q", dir / "z"});
        return std::to_string(r.status) + "\n" + r.err + r.out;
    };
    const std::string free = test::Unprivileged(dir.path(), compare);
    const std::string limited = test::Unprivileged(dir.path(), [&] {
        const struct rlimit one = {1, 1};
        if (setrlimit(RLIMIT_NPROC, &one) != 0) return std::string("no limit");
        return compare();
    });
    EXPECT_EQ(free.substr(0, 2), "1\n");
    EXPECT_EQ(limited, free);
}

TEST(CompareCommand, UsageErrorsExitWithTwoAndSayWhatIsWrong) {
    TempDir dir;
    const std::string rules = dir / "rules";
    WriteFile(rules, "# Kommentar\n\n+ *.jpg\n*.tmp\n", 1'300'000'000);
    WriteFile(dir / "bad-pattern", "- ok\n-  [abc\n", 1'300'000'000);
    WriteFile(dir / "steering", "- ok\n\033]0;x\a\033[2J\xe2\x80\xae\n", 1'300'000'000);
    WriteFile(dir / "long-line", "- ok\n- " + std::string(64 * 1024, 'x') + "\n", 1'300'000'000);
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{}, "kirvo-cli: Es fehlt ein Befehl."},
        {{"vergleiche"}, "kirvo-cli: Unbekannter Befehl \"vergleiche\"."},
        {{"--bunt"}, "kirvo-cli: Unbekannte Option \"--bunt\"."},
        {{"compare"}, "Es fehlt das Argument QUELLE."},
        {{"compare", "/tmp"}, "Es fehlt das Argument ZIEL."},
        {{"compare", "", "/tmp"}, "Es fehlt das Argument QUELLE: der Pfad ist leer."},
        {{"compare", "/tmp", ""}, "Es fehlt das Argument ZIEL: der Pfad ist leer."},
        {{"compare", "/tmp", "/tmp", "/tmp"}, "Zu viele Argumente"},
        {{"compare", "--filter=neu", "/tmp", "/tmp"}, "Unbekannter Filter \"neu\""},
        {{"compare", "--format=html", "/tmp", "/tmp"}, "Unbekanntes Format \"html\""},
        {{"compare", "--format"}, "Der Option \"--format\" fehlt ihr Wert."},
        {{"compare", "--no-tolerance=1", "/tmp", "/tmp"}, "nimmt keinen Wert"},
        {{"compare", "--schnell", "/tmp", "/tmp"}, "Unbekannte Option \"--schnell\"."},
        {{"compare", "-x", "/tmp", "/tmp"}, "Unbekannte Option \"-x\"."},
        {{"compare", "--parallel=viele", "/tmp", "/tmp"}, "Ungültiger Wert \"viele\" für --parallel"},
        {{"compare", "--parallel=1025", "/tmp", "/tmp"}, "von 0 (automatisch) bis 1024"},
        {{"compare", "--parallel=-1", "/tmp", "/tmp"}, "Ungültiger Wert \"-1\" für --parallel"},
        {{"compare", "--compare=bytes", "/tmp", "/tmp"},
         "Unbekannter Vergleich \"bytes\"; erlaubt sind time, time-size, content."},
        {{"compare", "--ignore-hour=1", "/tmp", "/tmp"}, "nimmt keinen Wert"},
        {{"compare", "--exclude=", "/tmp", "/tmp"}, "Ungültiges Muster \"\" bei --exclude: Das Muster ist leer."},
        {{"compare", "--include=[abc", "/tmp", "/tmp"}, "Ungültiges Muster \"[abc\" bei --include: Die eckige"},
        {{"compare", "--exclude=a\\", "/tmp", "/tmp"}, "Ungültiges Muster \"a\\\\\" bei --exclude: Ein \\\\ am Ende"},
        {{"compare", "--filter-from=" + dir / "none", "/tmp", "/tmp"},
         "Die Filterdatei \"" + dir / "none" + "\" lässt sich nicht lesen: es gibt sie nicht."},
        {{"compare", "--filter-from", dir.path(), "/tmp", "/tmp"}, "lässt sich nicht lesen: sie ist ein Ordner."},
        {{"compare", "--filter-from=" + rules, "/tmp", "/tmp"},
         "Filterdatei \"" + rules + "\", Zeile 4: \"*.tmp\" ist keine Regel"},
        {{"compare", "--filter-from=" + dir / "bad-pattern", "/tmp", "/tmp"},
         "Ungültiges Muster \"[abc\" in \"" + dir / "bad-pattern" + "\", Zeile 2: "},
        {{"compare", "--filter-from=" + dir / "steering", "/tmp", "/tmp"},
         "Zeile 2: \"\\x1B]0;x\\x07\\x1B[2J\\u202E\" ist keine Regel"},
        {{"compare", "--filter-from=" + dir / "long-line", "/tmp", "/tmp"}, "Zeile 2: länger als 64 KiB"},
        {{"compare", "--filter-from=/dev/zero", "/tmp", "/tmp"}, "Zeile 1: länger als 64 KiB"},
        {{"compare", "--exclude=\x9b[", "/tmp", "/tmp"}, "Ungültiges Muster \"\\x9B[\" bei --exclude"},
    };
    for (const auto& c : cases) {
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.status, kExitUsage) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Aufruf: kirvo-cli compare"), std::string::npos) << c.message;
        EXPECT_EQ(r.err.find_first_of("\033\a\x9b"), std::string::npos) << r.err;  // nothing steers the terminal
    }
}

// Repeated --include and --exclude and the rules of --filter-from make one
// filter; the exit status is that of the files the filter lists.
// Ten and twenty bytes one second apart count as equal by time; comparing
// sizes or contents makes them a conflict, shown as "<?>" in TSV and text,
// listed under its own heading, and the exit status says so.
TEST(CompareCommand, ConflictsHaveTheirOwnArrowHeadingAndExitStatus) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    MakeTree(q, {{"f.txt", 1'300'000'001, "0123456789"}, {"same.txt", 1'300'003'600, "abc"}});
    MakeTree(z, {{"f.txt", 1'300'000'000, "01234567890123456789"}, {"same.txt", 1'300'000'000, "abc"}});
    const std::string conflictRow = "5\tf.txt\t10 Byte\t13.03.2011 07:06:41\tf.txt\t<?>\tf.txt\t20 Byte\t";
    const struct {
        std::vector<std::string> options;
        int status;
        std::string fRow;     // start of f.txt's TSV row
        std::string sameRow;  // start of same.txt's
    } cases[] = {
        {{}, kExitUnequal, "4\tf.txt\t", "2\tsame.txt\t"},
        {{"--compare=time"}, kExitUnequal, "4\tf.txt\t", "2\tsame.txt\t"},
        {{"--compare=time-size"}, kExitUnequal, conflictRow, "2\tsame.txt\t"},
        {{"--compare=content"}, kExitUnequal, conflictRow, "4\tsame.txt\t"},
        {{"--ignore-hour"}, kExitEqual, "4\tf.txt\t", "4\tsame.txt\t"},
        {{"--ignore-hour", "--compare=time-size"}, kExitUnequal, conflictRow, "4\tsame.txt\t"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"compare", "--format=tsv", "--filter=all"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {q, z});
        const CliResult r = Cli(args);
        const std::vector<std::string> lines = Lines(r.out);
        ASSERT_GE(lines.size(), 3u) << r.err;
        EXPECT_EQ(r.status, c.status) << args[3];
        EXPECT_EQ(lines[1].substr(0, c.fRow.size()), c.fRow) << args[3];
        EXPECT_EQ(lines[2].substr(0, c.sameRow.size()), c.sameRow) << args[3];
    }
    const CliResult text = Cli({"compare", "--compare=time-size", q, z});
    EXPECT_NE(text.out.find("        10 Byte  13.03.2011 07:06:41  <?>       20 Byte  13.03.2011 07:06:40  f.txt\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("\nKonflikte (1, ohne Richtung, werden nicht abgeglichen; <?> in der Liste):\n"
                            "  f.txt: Gleiche Änderungszeit, aber verschiedene Größe.\n\nSumme Quelle:"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Optionen: Toleranz +/- 2 Sekunden an, Sub-Ordner ausschließen aus, System-Ordner "
                            "ausschließen aus, Vergleich nach Änderungszeit und Größe\n"),
              std::string::npos);
    EXPECT_EQ(Cli({"compare", q, z}).out.find("Konflikte"), std::string::npos);
}

TEST(CompareCommand, FilterOptionsAddUp) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    MakeTree(q, {{"a.jpg", 1'300'000'000}, {"b.png", 1'300'000'000}, {"c.txt", 1'300'000'000},
                 {"Fotos/d.txt", 1'300'000'000}, {"Fotos/e.tmp", 1'300'000'000}, {"Fotos/roh/f.jpg", 1'300'000'000}});
    MakeTree(z, {{"a.jpg", 1'300'000'000}, {"c.txt", 1'400'000'000}});
    WriteFile(dir / "rules", "# Bilder und Fotos\r\n+ Fotos/\r\n\n  - roh/  \r\n", 1'300'000'000);
    const CliResult r = Cli({"compare", "--filter=all", "--format=tsv", "--include=*.jpg", "--include=*.PNG",
                             "--exclude=*.tmp", "--filter-from=" + dir / "rules", q, z});
    EXPECT_EQ(r.err, "");
    std::vector<std::string> paths;
    for (const std::string& line : Lines(r.out)) {
        std::vector<std::string> cells(1);
        for (const char c : line) {
            if (c == '\t') cells.emplace_back();
            else cells.back().push_back(c);
        }
        if (cells.size() == 10 && cells[0] != "3") paths.push_back(cells[4].empty() ? cells[9] : cells[4]);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"a.jpg", "b.png", "Fotos/d.txt"}));
    EXPECT_EQ(r.status, kExitUnequal);  // b.png

    // The only unequal file left out: equal.
    EXPECT_EQ(Cli({"compare", "--exclude=*.png", "--exclude=c.txt", "--exclude=Fotos", q, z}).status, kExitEqual);
    const CliResult text = Cli({"compare", "--include=*.jpg", "--exclude=roh/", "--exclude=*.tmp", q, z});
    EXPECT_NE(text.out.find("\nMuster:   einschließen *.jpg; ausschließen roh/, *.tmp\n"), std::string::npos) << text.out;
}

TEST(CompareCommand, DashedRootsAfterDoubleDash) {
    TempDir dir;
    MakeTree(dir / "-q", {{"a.txt", 1'300'000'000}});
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const CliResult r = Cli({"compare", "--format=tsv", "--", "-q", "-z"});
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(r.status, kExitUnreadable);  // -z is missing
    EXPECT_EQ(Lines(r.out)[0], "3\t-q/\t\t\t\t\t\t\t\t");
    EXPECT_NE(r.err.find("\"-z\" existiert nicht"), std::string::npos);
    // A local folder whose path holds "://" is a folder here, never an address.
    MakeTree(dir / "a:/z", {{"a.txt", 1'300'000'000}});
    const CliResult local = Cli({"compare", dir / "-q", dir.path() + "/a://z"});
    EXPECT_EQ(local.status, kExitEqual) << local.err;
}

TEST(CompareCommand, HelpAndVersion) {
    const CliResult version = Cli({"--version"});
    EXPECT_EQ(version.status, kExitEqual);
    EXPECT_EQ(version.out, "kirvo-cli 1.5.1.12\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"help"}}) {
        const CliResult help = Cli(args);
        EXPECT_EQ(help.status, kExitEqual);
        EXPECT_NE(help.out.find("compare"), std::string::npos);
        EXPECT_NE(help.out.find("--version"), std::string::npos);
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"compare", "--help"}, {"help", "compare"}, {"compare", "/a", "-h"}}) {
        const CliResult help = Cli(args);
        EXPECT_EQ(help.status, kExitEqual);
        EXPECT_EQ(help.out.rfind("Aufruf: kirvo-cli compare [--filter=", 0), 0u);
        EXPECT_NE(help.out.find("Rückgabewert"), std::string::npos);
        for (const std::string& line : Lines(help.out)) EXPECT_LE(line.size(), 100u) << line;
    }
}

TEST(CompareCommand, TextReportHasHeadingsAlignedLinesAndSummaries) {
    TempDir dir;
    MakeTree(dir / "q", {{"a.txt", 1'300'000'100, "1"}, {"sub/b.txt", 1'300'000'000, std::string(3000, 'b')}});
    MakeTree(dir / "z", {{"A.TXT", 1'300'000'000, "22"}, {"sub/c.txt", 1'300'000'000}});
    const CliResult r = Cli({"compare", dir / "q", dir / "z"});
    EXPECT_EQ(r.status, kExitUnequal);
    const std::vector<std::string> lines = Lines(r.out);
    auto has = [&](const std::string& text) {
        for (const std::string& line : lines)
            if (line == text) return true;
        return false;
    };
    EXPECT_TRUE(has("Ordner  Quelle: " + dir / "q/"));
    EXPECT_TRUE(has("        Ziel:   " + dir / "z/"));
    EXPECT_TRUE(has("Ordner  Quelle: " + dir / "q/sub/"));
    EXPECT_TRUE(has("Ordner  Ziel:   " + dir / "z/sub/"));
    EXPECT_TRUE(has("Summe Quelle:    2 Dateien in 2 Ordner mit 3 KB (3001 Byte) "));
    EXPECT_TRUE(has("Auswahl Ziel:    2 Dateien mit 3 Bytes (3 Byte) ausgewählt "));
    size_t fileLines = 0;
    for (const std::string& line : lines) {
        if (line.rfind("[x] ", 0) != 0) continue;
        ++fileLines;
        EXPECT_LE(line.size(), 120u);
        EXPECT_EQ(line.find("--->") == std::string::npos ? line.find("<---") : line.find("--->"), 38u) << line;
    }
    EXPECT_EQ(fileLines, 3u);
    EXPECT_NE(r.out.find("a.txt  (Ziel: A.TXT)"), std::string::npos);
}

// The real binary: raw bytes on stdout, notices on stderr, the exit status.
TEST(CompareCommand, BinaryEndToEnd) {
    TempDir dir;
    MakeTree(dir / "q", {{"n\xe4me\t1.txt", 1'300'000'000}});
    const std::string command = std::string(KIRVO_CLI_PATH) + " compare --format=tsv '" + dir / "q" + "' '" +
                                dir / "leer" + "' 2>'" + dir / "err.txt" + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitUnreadable);  // "leer" is missing
    EXPECT_EQ(Lines(out)[1].rfind("2\tn\xe4me\\t1.txt\t1 Byte\t", 0), 0u) << Lines(out)[1];
    EXPECT_EQ(test::ReadFile(dir / "err.txt"), "kirvo-cli compare: Hinweis: Das Ziel \"" + dir / "leer" +
                                                   "\" existiert nicht und wird als leer verglichen.\n");

    // The messages follow the desktop's language, what programs read does not.
    const struct {
        const char* environment;
        std::string notice;
        const char* usage;
    } languages[] = {
        {"LANG=de_DE.UTF-8", "Hinweis: Das Ziel \"" + dir / "leer" + "\" existiert nicht und wird als leer verglichen.",
         "Aufruf: kirvo-cli compare [--filter="},
        {"LANG=en_US.UTF-8", "Note: The target \"" + dir / "leer" + "\" does not exist and is compared as empty.",
         "Usage: kirvo-cli compare [--filter="},
        {"LANGUAGE=en LANG=C", "Note: The target \"" + dir / "leer" + "\" does not exist and is compared as empty.",
         "Usage: kirvo-cli compare [--filter="},
    };
    // The output of a shell command, and its exit status.
    auto output = [](const std::string& command) {
        FILE* pipe = popen(command.c_str(), "r");
        std::string text;
        char bytes[4096];
        for (size_t n; pipe && (n = fread(bytes, 1, sizeof bytes, pipe)) > 0;) text.append(bytes, n);
        const int status = pipe ? pclose(pipe) : -1;
        return std::pair{text, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    };
    for (const auto& language : languages) {
        const std::string run = std::string("env -u LC_ALL -u LC_MESSAGES -u LANGUAGE ") + language.environment + " " +
                                KIRVO_CLI_PATH;
        const auto [tsv, tsvStatus] =
            output(run + " compare --format=tsv '" + dir / "q" + "' '" + dir / "leer" + "' 2>'" + dir / "err.txt" + "'");
        EXPECT_EQ(tsv, out) << language.environment;
        EXPECT_EQ(tsvStatus, kExitUnreadable) << language.environment;
        EXPECT_EQ(test::ReadFile(dir / "err.txt"), "kirvo-cli compare: " + language.notice + "\n");
        const std::string help = output(run + " compare --help").first;
        EXPECT_EQ(help.rfind(language.usage, 0), 0u) << language.environment << ": " << help.substr(0, 60);
    }

    if (access("/dev/full", W_OK) == 0) {
        const int full = std::system((std::string(KIRVO_CLI_PATH) + " compare '" + dir / "q" + "' '" + dir / "q" +
                                      "' >/dev/full 2>'" + dir / "full.txt" + "'")
                                         .c_str());
        ASSERT_TRUE(WIFEXITED(full));
        EXPECT_EQ(WEXITSTATUS(full), kExitUsage);
        EXPECT_EQ(test::ReadFile(dir / "full.txt"), "kirvo-cli compare: Die Ausgabe konnte nicht geschrieben werden.\n");
    }

    const int usage = std::system((std::string(KIRVO_CLI_PATH) + " compare '' x 2>/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(usage));
    EXPECT_EQ(WEXITSTATUS(usage), kExitUsage);
}

}  // namespace
}  // namespace kirvo
