// kirvo-cli sync --mode=two-way and --mode=mirror on real trees changed at
// random: every rule of two-way as the user sees it (edits of the same size
// within the same second, changes of letter case, files and folders replacing
// each other, empty folders made, removed and renamed), no version of any
// file lost (each is on a side or in the trash), renames kept as renames, one
// run that finishes, and a next run with nothing to do.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_test_run.h"
#include "platform/root.h"
#include "support/mounted_file_system.h"
#include "sync/sync_pair.h"
#include "sync/sync_state_store.h"
#include "support/temp_tree.h"

namespace kirvo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kStart = 1'500'000'000;

// Every file below root: relative path -> content.
std::map<std::string, std::string> Files(const std::string& root) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file()) files[it->path().string().substr(root.size() + 1)] = ReadFile(it->path());
    return files;
}

std::set<std::string> Folders(const std::string& root) {
    std::set<std::string> folders;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_directory()) folders.insert(it->path().string().substr(root.size() + 1));
    return folders;
}

uint64_t Inode(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// The contents of everything the log says went to the trash.
std::set<std::string> Trashed() {
    std::set<std::string> contents;
    std::istringstream log(ReadFile(std::string(std::getenv("XDG_STATE_HOME")) + "/kirvo/protokoll.log"));
    for (std::string line; std::getline(log, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        if (fields.size() > 3 && fields[1] == "Papierkorb" && fs::exists(fields[3])) contents.insert(ReadFile(fields[3]));
    }
    return contents;
}

std::set<std::string> Contents(const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b) {
    std::set<std::string> all;
    for (const auto* files : {&a, &b})
        for (const auto& [path, content] : *files) all.insert(content);
    return all;
}

// What the last two-way run of the pair recorded: path -> record, target's own name.
std::map<std::string, std::pair<FileRecord, std::string>> Recorded(const std::string& source, const std::string& target) {
    std::map<std::string, std::pair<FileRecord, std::string>> records;
    std::optional<SyncState> state;
    EXPECT_FALSE(SyncStateStore().load(SyncPair::Of(*Root::Parse(source), *Root::Parse(target)).key(), state));
    for (uint32_t i = 0; state && i < state->size(); ++i)
        records[state->relativePath(i)] = {state->record(i), std::string(state->targetPath(i))};
    return records;
}

// Two trees and a clock for their files: every write is a new version with a
// time of its own.
struct Pair {
    TempDir dir;
    std::string root[2] = {dir / "q", dir / "z"};
    int64_t clock = kStart;
    int versions = 0;

    std::string Write(int side, const std::string& path) {
        const std::string content = "v" + std::to_string(++versions) + std::string(versions % 7, '.');
        WriteFile(root[side] + "/" + path, content, clock += 10);
        return content;
    }
    // A new version of the same size, saved within the same second ("" where
    // the file is too short to hold a new version's number).
    std::string WriteQuickly(int side, const std::string& path) {
        const std::string at = root[side] + "/" + path;
        std::string content = ReadFile(at);
        const std::string number = "w" + std::to_string(versions + 1);
        if (content.size() < number.size() + 1) return {};
        ++versions;
        content.replace(0, number.size(), number);
        content[number.size()] = ':';
        struct stat st{};
        stat(at.c_str(), &st);
        WriteFile(at, content, st.st_mtim.tv_sec);
        test::SetModified(at, st.st_mtim.tv_sec, 400'000'000);
        return content;
    }
    test::CliResult Sync(const std::string& mode, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"sync", "--mode=" + mode, "--yes", "--max-delete=100%"};
        args.insert(args.end(), more.begin(), more.end());
        args.push_back(root[0]);
        args.push_back(root[1]);
        return test::Cli(args);
    }
};

// What a path should hold on both sides after a run: a content, or nothing.
struct Expect {
    const char* rule;
    std::string source;  // "" = absent
    std::string target;
    uint64_t inode[2] = {0, 0};  // where a rename must have kept the file
};

void TwoWayRounds(unsigned seed) {
    Pair p;
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) paths.push_back("d" + std::to_string(i % 4) + "/f" + std::to_string(i));
    for (int i = 0; i < 3; ++i) paths.push_back("weg/w" + std::to_string(i));
    for (const std::string& path : paths) p.Write(0, path);

    // The first run: like update, then the state is recorded.
    test::CliResult r = p.Sync("two-way");
    EXPECT_EQ(r.status, kExitEqual) << r.out << r.err;
    EXPECT_EQ(Files(p.root[0]), Files(p.root[1]));

    std::set<std::string> folders = Folders(p.root[0]);  // what both sides hold after each run
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // The last round changes files only: the run then looks again at what it touched alone.
        const bool filesOnly = round == 3;
        auto before = std::make_pair(Files(p.root[0]), Files(p.root[1]));
        std::map<std::string, Expect> expected;
        std::set<std::string> conflicts;
        const auto at = [&](int side, const std::string& path) { return p.root[side] + "/" + path; };
        // The whole folder weg/ goes on one side with the files it holds, and
        // later a file takes its name.
        bool folderDeleted = false;
        if (round == 1) {
            const int side = pick(2);
            for (const auto& [path, content] : before.first)
                if (path.rfind("weg/", 0) == 0) {
                    expected[path] = {"folder deleted on one side", "", ""};
                    folderDeleted = true;
                }
            fs::remove_all(at(side, "weg"));
        }
        if (round == 2) {
            const std::string content = p.Write(pick(2), "weg");
            expected["weg"] = {"a file where a folder was", content, content};
        }
        // A folder with files replaced by a file on one side.
        if (round == 1) {
            const int side = pick(2);
            for (const auto& [path, content] : before.first)
                if (path.rfind("d3/", 0) == 0) expected[path] = {"a folder replaced by a file on one side", "", ""};
            fs::remove_all(at(side, "d3"));
            const std::string content = p.Write(side, "d3");
            expected["d3"] = {"a folder replaced by a file on one side", content, content};
        }
        for (const auto& [path, content] : before.first) {
            if (expected.contains(path)) continue;
            const int side = pick(2);
            const int other = 1 - side;
            Expect e{"unchanged", content, content};
            const int change = pick(9);
            switch (filesOnly && change == 8 ? 0 : change) {
            case 0: break;
            case 1: {
                e.rule = "changed on one side";
                e.source = e.target = p.Write(side, path);
                break;
            }
            case 2:
                e.rule = "deleted on one side, unchanged on the other";
                fs::remove(at(side, path));
                e.source = e.target = "";
                break;
            case 3: {
                e.rule = "renamed on one side, unchanged on the other";
                // Never two to one name.
                const std::string to = filesOnly ? path + "-neu" : "neu" + std::to_string(round) + "/" + path;
                fs::create_directories(fs::path(at(side, to)).parent_path());
                fs::rename(at(side, path), at(side, to));
                expected[path] = {"the old name of a rename", "", ""};
                Expect moved{"renamed on one side, unchanged on the other", content, content};
                moved.inode[other] = Inode(at(other, path));
                expected[to] = moved;
                continue;
            }
            case 4: {
                e.rule = "changed on both sides";
                const std::string mine = p.Write(side, path);
                const std::string theirs = p.Write(other, path);
                (side == 0 ? e.source : e.target) = mine;
                (side == 0 ? e.target : e.source) = theirs;
                conflicts.insert(path);
                break;
            }
            case 5: {
                e.rule = "deleted on one side, changed on the other";
                fs::remove(at(side, path));
                e.source = e.target = p.Write(other, path);
                break;
            }
            case 6: {
                e.rule = "changed on one side within the same second, same size";
                if (const std::string quick = p.WriteQuickly(side, path); !quick.empty()) e.source = e.target = quick;
                break;
            }
            case 7: {
                e.rule = "renamed in letter case on one side";
                std::string upper = path;  // the name's first letter in the other case
                char& letter = upper[upper.rfind('/') + 1];
                letter = static_cast<char>(std::isupper(static_cast<unsigned char>(letter)) ? std::tolower(letter)
                                                                                             : std::toupper(letter));
                fs::rename(at(side, path), at(side, upper));
                expected[path] = {"the old name of a change of case", "", ""};
                Expect renamed{e.rule, content, content};
                renamed.inode[other] = Inode(at(other, path));
                expected[upper] = renamed;
                continue;
            }
            case 8: {
                e.rule = "a file replaced by a folder on one side";
                fs::remove(at(side, path));
                const std::string inner = p.Write(side, path + "/innen");
                expected[path + "/innen"] = {e.rule, inner, inner};
                e.source = e.target = "";
                break;
            }
            default: break;
            }
            expected[path] = e;
        }
        // Empty folders: one made on a side, the last one removed or renamed on a side.
        const std::string made = "leer" + std::to_string(round);
        if (!filesOnly) {
            fs::create_directories(at(pick(2), made));
            folders.insert(made);
        }
        if (round > 0 && !filesOnly) {
            const std::string last = "leer" + std::to_string(round - 1);
            const int side = pick(2);
            folders.erase(last);
            if (pick(2) == 0) {
                fs::remove(at(side, last));
            } else {
                fs::rename(at(side, last), at(side, last + "-neu"));
                folders.insert(last + "-neu");
            }
        }
        for (int i = 0; i < 4; ++i) {
            const std::string path = filesOnly ? "d0/neu-n" + std::to_string(i)
                                               : "neu-r" + std::to_string(round) + "/n" + std::to_string(i);
            if (i < 2) {
                const std::string content = p.Write(i % 2, path);
                expected[path] = {"new on one side", content, content};
            } else {
                const std::string a = p.Write(0, path), b = p.Write(1, path);
                expected[path] = {"new on both sides, different", a, b};
                conflicts.insert(path);
            }
        }
        const std::set<std::string> versions = Contents(Files(p.root[0]), Files(p.root[1]));

        r = p.Sync("two-way");
        EXPECT_EQ(r.status, conflicts.empty() ? kExitEqual : kExitUnequal) << r.out << r.err;
        const auto recorded = Recorded(p.root[0], p.root[1]);
        const auto after = std::make_pair(Files(p.root[0]), Files(p.root[1]));
        for (const auto& [path, e] : expected) {
            SCOPED_TRACE(path + ": " + e.rule);
            const auto holds = [&](const std::map<std::string, std::string>& files) {
                const auto it = files.find(path);
                return it == files.end() ? std::string() : it->second;
            };
            EXPECT_EQ(holds(after.first), e.source);
            EXPECT_EQ(holds(after.second), e.target);
            for (int side = 0; side < 2; ++side)
                if (e.inode[side] != 0) EXPECT_EQ(Inode(p.root[side] + "/" + path), e.inode[side]);
            // A conflict is named, and named again among what stayed unequal, with its reason.
            if (conflicts.contains(path)) {
                EXPECT_NE(r.out.find(path + ": in Quelle und Ziel"), std::string::npos) << r.out;
                const size_t left = r.out.find("Ungleich geblieben: ");
                EXPECT_NE(r.out.find("  " + path + ": in Quelle und Ziel", left), std::string::npos) << r.out;
            }
        }
        if (folderDeleted) {
            EXPECT_FALSE(fs::is_directory(p.root[0] + "/weg"));
            EXPECT_FALSE(fs::is_directory(p.root[1] + "/weg"));
        }
        // Folders are carried like files: made, removed and renamed, in one run.
        const std::set<std::string> folderSets[2] = {Folders(p.root[0]), Folders(p.root[1])};
        EXPECT_EQ(folderSets[0], folderSets[1]);
        for (const std::string& folder : {std::string("leer0"), std::string("leer1"), std::string("leer0-neu"),
                                          std::string("leer1-neu"), std::string("leer2")})
            EXPECT_EQ(folderSets[0].contains(folder), folders.contains(folder)) << folder;
        // No version is lost: each is on a side or in the trash.
        const std::set<std::string> kept = Contents(after.first, after.second);
        const std::set<std::string> trashed = Trashed();
        for (const std::string& version : versions)
            EXPECT_TRUE(kept.contains(version) || trashed.contains(version)) << "lost: " << version;

        // A next run finds nothing to do but the conflicts.
        const test::CliResult again = p.Sync("two-way");
        EXPECT_EQ(again.status, conflicts.empty() ? kExitEqual : kExitUnequal) << again.out << again.err;
        // It records from a whole comparison what the run recorded from its own.
        const auto recordedAgain = Recorded(p.root[0], p.root[1]);
        EXPECT_FALSE(recorded.empty());
        EXPECT_EQ(recorded.size(), recordedAgain.size());
        for (const auto& [path, record] : recordedAgain)
            EXPECT_TRUE(recorded.contains(path) && recorded.at(path) == record) << path;
        EXPECT_EQ(Files(p.root[0]), after.first);
        EXPECT_EQ(Files(p.root[1]), after.second);
        EXPECT_EQ(Folders(p.root[0]), folderSets[0]);
        EXPECT_EQ(Folders(p.root[1]), folderSets[1]);
        for (const char* done : {"kopiert", "gelöscht", "umbenannt", "angelegt", "entfernt"})
            EXPECT_EQ(again.out.find(done), std::string::npos) << again.out;
        // The user settles the conflicts by hand; the next run finds them equal and records them.
        for (const std::string& path : conflicts) {
            fs::copy_file(p.root[0] + "/" + path, p.root[1] + "/" + path, fs::copy_options::overwrite_existing);
            fs::last_write_time(p.root[1] + "/" + path, fs::last_write_time(p.root[0] + "/" + path));
        }
        EXPECT_EQ(p.Sync("two-way").status, kExitEqual);
    }
}

TEST(SyncModes, TwoWayCarriesEveryKindOfChangeAndLosesNoVersion) {
    for (const unsigned seed : {20261207u, 1u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TwoWayRounds(seed);
    }
}

TEST(SyncModesSlow, TwoWayOverManySeeds) {
    for (unsigned seed = 100; seed < 130; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TwoWayRounds(seed);
    }
}

// Rounds of random changes to the source (and stray changes to the target):
// each mirror leaves the target an exact copy, files and folders, in one run.
void MirrorRounds(unsigned seed) {
    Pair p;
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const auto at = [&](int side, const std::string& path) { return p.root[side] + "/" + path; };
    for (int i = 0; i < 24; ++i) p.Write(0, "a" + std::to_string(i % 3) + "/b" + std::to_string(i % 2) + "/f" + std::to_string(i));
    test::MakeDirs(at(0, "leer"));
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto source = Files(p.root[0]);
        for (const auto& [path, content] : source) {
            const std::string to = path.substr(0, path.rfind('/') + 1) + "n" + std::to_string(round) + "-" +
                                   path.substr(path.rfind('/') + 1);
            switch (pick(9)) {
            case 0: p.Write(0, path); break;
            case 1: fs::remove(at(0, path)); break;
            case 2: fs::rename(at(0, path), at(0, to)); break;  // the target renames its copy
            case 3: fs::rename(at(0, path), at(0, path + "X")); fs::rename(at(0, path + "X"), at(0, to)); break;
            case 4: {  // another letter case
                std::string other = path;
                char& letter = other[other.rfind('/') + 1];
                letter = static_cast<char>(std::isupper(static_cast<unsigned char>(letter)) ? std::tolower(letter)
                                                                                             : std::toupper(letter));
                fs::rename(at(0, path), at(0, other));
                break;
            }
            case 5:  // a file replaced by a folder
                fs::remove(at(0, path));
                p.Write(0, path + "/innen");
                break;
            case 6:  // in the target: the same time, another size
                if (fs::exists(at(1, path))) {
                    WriteFile(at(1, path), ReadFile(at(1, path)) + "+", 0);
                    fs::last_write_time(at(1, path), fs::last_write_time(at(0, path)));
                }
                break;
            default: break;
            }
        }
        // Folders: an empty one made and one removed or renamed; one with files replaced by a file.
        test::MakeDirs(at(0, "leer" + std::to_string(round)));
        if (round > 0 && fs::exists(at(0, "leer" + std::to_string(round - 1)))) {
            if (pick(2) == 0) fs::remove(at(0, "leer" + std::to_string(round - 1)));
            else fs::rename(at(0, "leer" + std::to_string(round - 1)), at(0, "umbenannt" + std::to_string(round)));
        }
        if (round == 2 && fs::is_directory(at(0, "a2"))) {
            fs::remove_all(at(0, "a2"));
            p.Write(0, "a2");
        }
        // Strays in the target: a file and a folder the source does not have.
        p.Write(1, "fremd" + std::to_string(round) + "/x");
        test::MakeDirs(at(1, "fremd-leer" + std::to_string(round)));
        const auto target = Files(p.root[1]);

        const test::CliResult r = p.Sync("mirror");
        EXPECT_EQ(r.status, kExitEqual) << r.out << r.err;
        EXPECT_EQ(Files(p.root[1]), Files(p.root[0]));
        EXPECT_EQ(Folders(p.root[1]), Folders(p.root[0]));
        const std::set<std::string> kept = Contents(Files(p.root[1]), {});
        const std::set<std::string> trashed = Trashed();
        for (const auto& [path, content] : target)
            EXPECT_TRUE(kept.contains(content) || trashed.contains(content)) << "lost: " << path;
        const test::CliResult again = p.Sync("mirror");
        EXPECT_EQ(again.status, kExitEqual) << again.out << again.err;
        for (const char* done : {"kopiert", "gelöscht", "umbenannt", "angelegt", "entfernt", "Ungleich"})
            EXPECT_EQ(again.out.find(done), std::string::npos) << again.out;
    }
}

TEST(SyncModes, MirrorRoundsLeaveAnExactCopyInOneRun) {
    for (const unsigned seed : {5u, 17u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        MirrorRounds(seed);
    }
}

TEST(SyncModesSlow, MirrorOverManySeeds) {
    for (unsigned seed = 200; seed < 220; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        MirrorRounds(seed);
    }
}

TEST(SyncModes, MirrorLeavesAnExactCopyAndKeepsWhatItReplacesOrRemoves) {
    Pair p;
    std::mt19937 random(7);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int i = 0; i < 30; ++i) {
        const std::string path = "a" + std::to_string(i % 3) + "/b" + std::to_string(i % 5) + "/f" + std::to_string(i);
        const std::string content = p.Write(0, path);
        switch (pick(5)) {
        case 0: break;                                           // missing in the target
        case 1: WriteFile(p.root[1] + "/" + path, content, p.clock - 10); break;  // equal
        case 2: p.Write(1, path); break;                          // different and newer there
        case 3: WriteFile(p.root[1] + "/" + path, "older", kStart - 100); break;  // different and older
        default: p.Write(1, "nur-im-ziel/" + std::to_string(i)); break;          // extra
        }
    }
    test::MakeDirs(p.root[1] + "/leer/tiefer");
    // A file the source renamed: the target has it under the old name.
    const std::string renamed = p.Write(0, "neu/name.txt");
    WriteFile(p.root[1] + "/alt/name-alt.txt", renamed, p.clock);
    const uint64_t inode = Inode(p.root[1] + "/alt/name-alt.txt");
    const auto target = Files(p.root[1]);

    // compare shows the plan: TSV and JSON give each row the same state, the
    // rename and the deletions with their own numbers, arrows and reasons.
    const test::CliResult tsv = test::Cli({"compare", "--mode=mirror", "--format=tsv", p.root[0], p.root[1]});
    const test::CliResult json = test::Cli({"compare", "--mode=mirror", "--format=json", p.root[0], p.root[1]});
    ASSERT_EQ(json.status, kExitUnequal) << json.err;
    std::vector<int> tsvStates, jsonStates;
    std::istringstream lines(tsv.out);
    for (std::string line; std::getline(lines, line);)
        if (const int state = std::stoi(line.substr(0, line.find('\t'))); state != 3 && state < 1000)
            tsvStates.push_back(state);
    std::map<std::string, nlohmann::json> rowOf;
    const nlohmann::json document = nlohmann::json::parse(json.out);
    for (const nlohmann::json& row : document["rows"]) {
        jsonStates.push_back(row["state"].get<int>());
        rowOf[(row["target"].is_null() ? row["source"] : row["target"])["path"].get<std::string>()] = row;
    }
    EXPECT_EQ(jsonStates, tsvStates);
    EXPECT_EQ(rowOf["neu/name.txt"]["kind"], "rename");
    EXPECT_EQ(rowOf["neu/name.txt"]["action"], "rename-in-target");
    EXPECT_EQ(rowOf["neu/name.txt"]["arrow"], "~~>");
    EXPECT_EQ(rowOf["alt/name-alt.txt"]["state"], 9);
    size_t extras = 0, deletions = 0;
    for (const auto& [path, content] : target) extras += path.starts_with("nur-im-ziel/") ? 1 : 0;
    for (const auto& [path, row] : rowOf)
        if (row["kind"] == "delete") {
            ++deletions;
            EXPECT_EQ(row["action"], "delete-in-target") << path;
            EXPECT_EQ(row["reason"], "nur im Ziel: wird gelöscht") << path;
        }
    EXPECT_EQ(deletions, extras);

    const test::CliResult r = p.Sync("mirror");
    EXPECT_EQ(r.status, kExitEqual) << r.out << r.err;
    EXPECT_EQ(Files(p.root[1]), Files(p.root[0]));
    EXPECT_EQ(Folders(p.root[1]), Folders(p.root[0]));
    for (const auto& [path, content] : Files(p.root[0])) {
        SCOPED_TRACE(path);
        EXPECT_EQ(fs::last_write_time(p.root[1] + "/" + path), fs::last_write_time(p.root[0] + "/" + path));
    }
    EXPECT_EQ(Inode(p.root[1] + "/neu/name.txt"), inode);
    EXPECT_NE(r.out.find("Im Ziel umbenannt: 1 umbenannt"), std::string::npos) << r.out;
    const std::set<std::string> kept = Contents(Files(p.root[1]), {});
    const std::set<std::string> trashed = Trashed();
    for (const auto& [path, content] : target)
        EXPECT_TRUE(kept.contains(content) || trashed.contains(content)) << "lost: " << path;
    EXPECT_EQ(p.Sync("mirror").status, kExitEqual);
    EXPECT_EQ(test::Cli({"compare", "--mode=mirror", p.root[0], p.root[1]}).status, kExitEqual);
}

// A stick at a fixed mount point: its trash and lost+found are no part of the
// tree, however often it is mirrored to; two-way knows it by its file system,
// so neither another stick there nor the empty mount point is taken for it.
TEST(SyncModes, AStickIsKnownByItsFileSystemAndItsTrashIsNoPartOfIt) {
    if (const std::string why = test::MountedFileSystem::LoopUnavailable(); !why.empty()) GTEST_SKIP() << why;
    Pair p;
    const std::string imageA = p.dir / "a.img", imageB = p.dir / "b.img", stick = p.root[1];
    ASSERT_TRUE(test::MountedFileSystem::MakeImage(imageA, "STICK_A"));
    ASSERT_TRUE(test::MountedFileSystem::MakeImage(imageB, "STICK_B"));
    const std::string trash = stick + "/.Trash-" + std::to_string(geteuid()) + "/files";
    const auto trashed = [&] {
        std::error_code ec;
        return std::distance(fs::directory_iterator(trash, ec), fs::directory_iterator());
    };
    for (int i = 0; i < 3; ++i) p.Write(0, "f" + std::to_string(i));
    auto mounted = test::MountedFileSystem::Image(imageA, stick);
    ASSERT_TRUE(mounted.mounted());
    p.Write(1, "nur-auf-dem-stick");
    for (int run = 0; run < 3; ++run) {
        const test::CliResult r = p.Sync("mirror");
        EXPECT_EQ(r.status, kExitEqual) << run << r.out << r.err;
        EXPECT_EQ(r.out.find("Im Ziel gelöscht") != std::string::npos, run == 0) << run << r.out;
        EXPECT_EQ(trashed(), 1) << run;
    }
    EXPECT_TRUE(fs::is_directory(stick + "/lost+found"));
    for (int run = 0; run < 3; ++run) EXPECT_EQ(p.Sync("two-way").status, kExitEqual) << run;
    EXPECT_EQ(Folders(p.root[0]), std::set<std::string>{});
    const auto laptop = Files(p.root[0]);

    // Nothing mounted: the folder below is not the stick.
    mounted.Unmount();
    test::CliResult r = p.Sync("two-way");
    EXPECT_EQ(r.status, kExitUnreadable) << r.out << r.err;
    EXPECT_NE(r.err.find("Für das Ziel „" + stick + "“ ist der Datenträger des letzten Abgleichs nicht mehr unter „" +
                         stick + "“ eingehängt."),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::is_empty(stick));

    // Another stick there: its files would look deleted, and the laptop's deletion would reach it.
    mounted = test::MountedFileSystem::Image(imageB, stick);
    ASSERT_TRUE(mounted.mounted());
    p.Write(1, "b.txt");
    fs::remove(p.root[0] + "/f0");
    const std::vector<std::string> refused[] = {{"sync", "--mode=two-way", "--yes", p.root[0], stick},
                                                {"compare", "--mode=two-way", p.root[0], stick}};
    for (const std::vector<std::string>& args : refused) {
        r = test::Cli(args);
        EXPECT_EQ(r.status, kExitUnreadable) << args[0] << r.out << r.err;
        EXPECT_NE(r.err.find("Für das Ziel „" + stick +
                             "“ ist ein anderer Datenträger als beim letzten Abgleich eingehängt („STICK_B“ statt "
                             "„STICK_A“)."),
                  std::string::npos)
            << r.err;
    }
    EXPECT_EQ(Files(p.root[0]).size(), laptop.size() - 1);
    EXPECT_TRUE(fs::exists(stick + "/b.txt"));

    // The right stick again: known, and the deletion reaches it.
    mounted.Unmount();
    mounted = test::MountedFileSystem::Image(imageA, stick);
    ASSERT_TRUE(mounted.mounted());
    r = p.Sync("two-way");
    EXPECT_EQ(r.status, kExitEqual) << r.out << r.err;
    auto onStick = Files(stick);
    std::erase_if(onStick, [](const auto& file) { return file.first.starts_with(".Trash-"); });
    EXPECT_EQ(onStick, Files(p.root[0]));
    EXPECT_EQ(trashed(), 2);
}

// Bytes read by this process so far (the kernel's count of read calls).
uint64_t BytesReadSoFar() {
    std::istringstream io(ReadFile("/proc/self/io"));
    for (std::string key; io >> key;) {
        uint64_t value = 0;
        io >> value;
        if (key == "rchar:") return value;
    }
    return 0;
}

// Bit rot: bytes change in place while size and time stay. verify names the
// damaged file; a second content comparison of unchanged trees reads none of
// their bytes; two-way neither spreads the damage (the file's change time
// moved, so it counts as changed) nor leaves it: the good version comes back.
TEST(SyncModes, DamageIsFoundAndNeverSpread) {
    Pair p;
    const std::string photo(4u << 20, 'p');
    WriteFile(p.root[0] + "/foto.jpg", photo, kStart);
    WriteFile(p.root[0] + "/andere.jpg", std::string(4u << 20, 'a'), kStart);
    ASSERT_EQ(p.Sync("two-way").status, kExitEqual);
    const std::vector<std::string> byContent = {"compare", "--compare=content", p.root[0], p.root[1]};
    ASSERT_EQ(test::Cli(byContent).status, kExitEqual);
    const uint64_t before = BytesReadSoFar();
    ASSERT_EQ(test::Cli(byContent).status, kExitEqual);
    EXPECT_LT(BytesReadSoFar() - before, 1u << 20) << "the second content comparison reads no file";

    const std::string rotten = p.root[1] + "/foto.jpg";
    struct stat st{};
    ASSERT_EQ(stat(rotten.c_str(), &st), 0);
    std::string damaged = photo;
    damaged[123456] = 'X';
    WriteFile(rotten, damaged, st.st_mtim.tv_sec);
    test::SetModified(rotten, st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
    ASSERT_EQ(Inode(rotten), st.st_ino) << "written in place, as a rotting block is";
    test::CliResult r = test::Cli({"verify", p.root[0], p.root[1]});
    EXPECT_EQ(r.status, kExitUnequal) << r.out << r.err;
    EXPECT_NE(r.err.find("beschädigt? foto.jpg (im Ziel, zuletzt gut: "), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("1 beschädigt?"), std::string::npos) << r.out;
    // Beginning the state afresh keeps the remembered bytes, and the guard with them.
    r = test::Cli({"sync", "--mode=two-way", "--forget-state", "--dry-run", p.root[0], p.root[1]});
    EXPECT_NE(r.out.find("/foto.jpg -> " + rotten), std::string::npos) << r.out << r.err;

    r = p.Sync("two-way");
    EXPECT_EQ(r.status, kExitEqual) << r.out << r.err;
    EXPECT_EQ(ReadFile(p.root[0] + "/foto.jpg"), photo);
    EXPECT_EQ(ReadFile(rotten), photo) << "brought back from the intact side";
    EXPECT_TRUE(Trashed().count(damaged)) << "the damaged one went to the trash";
    r = test::Cli({"verify", "--format=tsv", p.root[0], p.root[1]});
    EXPECT_EQ(r.status, kExitEqual) << r.out << r.err;
    EXPECT_EQ(r.out.substr(0, 2), "4\t");

    // A checked copy in update mode keeps what it read, so rot of the copy is damage too.
    WriteFile(p.root[0] + "/neu.jpg", photo, kStart + 100);
    ASSERT_EQ(p.Sync("update", {"--verify"}).status, kExitEqual);
    WriteFile(p.root[1] + "/neu.jpg", damaged, kStart + 100);
    r = test::Cli({"verify", p.root[0], p.root[1]});
    EXPECT_NE(r.err.find("beschädigt? neu.jpg (im Ziel, zuletzt gut: "), std::string::npos) << r.out << r.err;
}

}  // namespace
}  // namespace kirvo
