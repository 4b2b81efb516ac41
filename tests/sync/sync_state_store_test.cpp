// The state database on real files: what is saved is loaded, a save is all or
// nothing, a database that cannot be read is an error until it is forgotten,
// and one run at a time per pair.
#include "sync/sync_state_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_tree.h"
#include "support/unprivileged.h"
#include "sync/pair_lock.h"
#include "sync/state_schema.h"

namespace kirvo {
namespace {

using test::TempDir;

const RootIdentity kLaptop = RootIdentity::Remote("anna", "laptop", 22, "/home/anna/Dokumente");
const RootIdentity kStick = RootIdentity::Remote("anna", "nas", 22, "/stick/Dokumente");
const RootIdentity kOther = RootIdentity::Remote("anna", "nas", 22, "/andere");

FileRecord Record(uint64_t size, int64_t mtime, uint64_t sourceInode, uint64_t targetDevice = 8) {
    return {{size, mtime, 7, sourceInode}, {size + 1, mtime + 5, targetDevice, sourceInode + 1000}};
}

// The records of a pair as "path=size/size" lines, or the error.
std::string Dump(SyncStateStore& store, const PairKey& key) {
    std::optional<SyncState> state;
    if (const StoreError error = store.load(key, state)) return error.message;
    if (!state) return "keiner";
    std::vector<std::string> lines;
    for (uint32_t i = 0; i < state->size(); ++i) {
        const FileRecord& r = state->record(i);
        lines.push_back(state->relativePath(i) + "=" + std::to_string(r.source.size) + "/" +
                        std::to_string(r.target.size) + " ");
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line;
    return out;
}

// `count` records in one folder, all of one size.
StateUpdate Puts(int count, uint64_t size) {
    static std::deque<std::string> names;  // an update borrows its texts
    while (names.size() < static_cast<size_t>(count)) names.push_back("datei-" + std::to_string(names.size()));
    StateUpdate update;
    for (int i = 0; i < count; ++i)
        update.puts.push_back({"ordner/", names[i], Record(size, 1'700'000'000'000'000'000 + i, i + 1)});
    return update;
}

TEST(SyncStateStore, KeepsEachPairWhicheverSideIsTheSource) {
    TempDir dir;
    SyncStateStore store(dir.path());
    const PairKey pair(kLaptop, kStick), reversed(kStick, kLaptop), other(kLaptop, kOther);
    EXPECT_NE(pair.swapped(), reversed.swapped());
    EXPECT_EQ(Dump(store, pair), "keiner");

    StateUpdate first;
    first.settings = {SyncMode::TwoWay, 2, 0xFEDCBA9876543210ULL};
    const std::string odd = "na\xFFme";  // names are bytes, not text
    first.puts = {{"", "a.txt", Record(1, 10, 1)}, {"sub/", odd, Record(2, 20, 2, 9)}, {"sub/", "c", Record(3, 30, 3)}};
    ASSERT_FALSE(store.save(pair, first));
    std::optional<SyncState> state;
    ASSERT_FALSE(store.load(pair, state));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->settings, first.settings);
    ASSERT_EQ(state->size(), 3u);
    EXPECT_EQ(state->record(state->find("sub/" + odd)), Record(2, 20, 2, 9));
    EXPECT_EQ(state->record(state->find("", "a.txt")), Record(1, 10, 1));

    // The same pair the other way round sees the same files with the sides swapped.
    ASSERT_FALSE(store.load(reversed, state));
    const FileRecord fromTheOtherSide = state->record(state->find("sub/" + odd));
    EXPECT_EQ(fromTheOtherSide.source, Record(2, 20, 2, 9).target);
    EXPECT_EQ(fromTheOtherSide.target, Record(2, 20, 2, 9).source);

    // A name the target writes in another case, with change times, and a folder.
    FileRecord exact = Record(5, 50, 5);
    exact.source.ctimeNs = 51;
    exact.target.ctimeNs = 52;
    StateUpdate cased;
    cased.puts = {{"Sub/", "Bericht.txt", exact, "sub/bericht.txt"}, {"", "Sub/", FileRecord{}, "sub/"}};
    for (const PairKey* key : {&pair, &reversed}) {
        ASSERT_FALSE(store.save(*key, cased));
        for (const PairKey* seen : {&pair, &reversed}) {
            ASSERT_FALSE(store.load(*seen, state));
            const bool swapped = seen != key;
            const uint32_t at = state->find(swapped ? "sub/bericht.txt" : "Sub/Bericht.txt");
            ASSERT_NE(at, SyncState::kNone);
            EXPECT_EQ(state->targetPath(at), swapped ? "Sub/Bericht.txt" : "sub/bericht.txt");
            EXPECT_EQ(state->record(at).source.ctimeNs, swapped ? 52 : 51);
            EXPECT_FALSE(state->record(at).legacy);
            EXPECT_TRUE(state->isFolder(state->find(swapped ? "sub/" : "Sub/")));
            EXPECT_EQ(state->files(), 4u);
        }
        StateUpdate gone;
        gone.removals = {{"Sub/", "Bericht.txt", "sub/bericht.txt"}, {"", "Sub/", "sub/"}};
        ASSERT_FALSE(store.save(*key, gone));
        ASSERT_FALSE(store.load(pair, state));
        EXPECT_EQ(state->size(), 3u);
    }

    StateUpdate second;
    second.settings = {SyncMode::TwoWay, 0, 1};
    second.puts = {{"neu/", "d", Record(4, 40, 4)}};
    second.removals = {{"", "a.txt"}, {"sub/", odd}, {"fehlt/", "x"}};
    ASSERT_FALSE(store.save(reversed, second));
    EXPECT_EQ(Dump(store, pair), "neu/d=5/4 sub/c=3/4 ");
    EXPECT_EQ(Dump(store, other), "keiner");

    std::string notice;
    ASSERT_FALSE(store.forget(reversed, &notice));
    EXPECT_EQ(notice, "");
    EXPECT_EQ(Dump(store, pair), "keiner");
    EXPECT_TRUE(std::filesystem::exists(dir / "abgleich.db"));
}

// A state the first version wrote: every record is still there (nothing
// reads as deleted or new), its times count to the millisecond, and each
// folder that held a recorded file has a record of its own.
TEST(SyncStateStore, AStateOfTheFirstVersionStaysAsItWas) {
    TempDir dir;
    const PairKey pair(kLaptop, kStick);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "abgleich.db").c_str(), &db), SQLITE_OK);
    const std::string schema = std::string(kFirstStateSchema) +
                               "PRAGMA application_id = 0x4B72766F; PRAGMA user_version = 1;"
                               "INSERT INTO folder VALUES(1, 1, x''), (2, 1, CAST('a/b/' AS BLOB));"
                               "INSERT INTO file(folder, name, a_size, a_mtime, a_inode) VALUES"
                               "(1, CAST('f' AS BLOB), 3, 1500000000123000000, 5),"
                               "(2, CAST('g' AS BLOB), 4, 1500000000000000000, 6);";
    ASSERT_EQ(sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO pair VALUES(1, ?, ?, 2, 0, 0, 7, 8)", -1, &insert, nullptr);
    sqlite3_bind_text(insert, 1, pair.first().c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, pair.second().c_str(), -1, SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_finalize(insert);
    sqlite3_close(db);

    SyncStateStore store(dir.path());
    std::optional<SyncState> state;
    ASSERT_FALSE(store.load(pair, state));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->files(), 2u);
    for (const auto& [folder, name] : {std::pair("", "a/"), std::pair("a/", "b/")})
        EXPECT_NE(state->find(folder, name), SyncState::kNone) << folder << name;
    const FileRecord& f = state->record(state->find("", "f"));
    EXPECT_TRUE(f.legacy);
    EXPECT_EQ(f.source.size, 3u);
    // The same file as a scan sees it now, to the nanosecond and with a change time: unchanged.
    const ObservedFile now = ObservedFile::Present(3, 1500000000123456789, 7, 5, 1500000000999000000);
    EXPECT_FALSE(ChangedSince(now, f.source, f.legacy));
    EXPECT_TRUE(ChangedSince(ObservedFile::Present(3, 1500000000124000000, 7, 5), f.source, f.legacy));
    // Loading again (the database is now of the current version) gives the same.
    SyncStateStore again(dir.path());
    std::optional<SyncState> second;
    ASSERT_FALSE(again.load(pair, second));
    EXPECT_EQ(second->size(), state->size());
    // And it keeps content hashes, each side under its own name, apart from the state.
    ContentRecords kept;
    NodeInfo file;
    file.size = 3;
    file.inode = 5;
    kept.Take(SyncSide::Target, "a/b/g", ContentHash{1, 2}, file, 1700000000);
    ASSERT_FALSE(again.saveContent(PairKey(kStick, kLaptop), kept.TakeChanges()));
    ContentRecords loaded;
    ASSERT_FALSE(again.loadContent(pair, loaded));
    ASSERT_NE(loaded.Find(SyncSide::Source, "a/b/g"), nullptr) << "the stick is the source of this pair";
    EXPECT_EQ(loaded.Find(SyncSide::Source, "a/b/g")->hash, (ContentHash{1, 2}));
    ASSERT_FALSE(again.load(pair, second));
    EXPECT_EQ(second->size(), state->size());
}

// A process that may write only so much: killed by the system where the
// limit is hit (a run killed in the middle), or told that writing failed.
TEST(SyncStateStore, ASaveCutOffAnywhereLeavesTheOldState) {
    for (const bool killed : {true, false}) {
        SCOPED_TRACE(killed ? "killed while writing" : "writing fails");
        TempDir dir;
        const PairKey pair(kLaptop, kStick);
        {
            SyncStateStore store(dir.path());
            ASSERT_FALSE(store.save(pair, Puts(10, 1)));
        }
        const std::string outcome = test::InChild(
            [&] {
                SyncStateStore store(dir.path());
                const StoreError error = store.save(pair, Puts(20'000, 2));
                return error.kind == StoreError::Kind::Io ? "Io: " + error.message : std::string("gespeichert");
            },
            [&] {
                signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
                const rlim_t limit = std::filesystem::file_size(dir / "abgleich.db") + 64 * 1024;
                const rlimit fsize{limit, limit};
                setrlimit(RLIMIT_FSIZE, &fsize);
            });
        if (killed) {
            EXPECT_EQ(outcome, "child died with signal " + std::to_string(SIGXFSZ));
        } else {
            EXPECT_EQ(outcome.rfind("Io: Die Zustandsdatenbank „" + (dir / "abgleich.db") + "“ lässt sich nicht", 0),
                      0u)
                << outcome;
        }
        SyncStateStore store(dir.path());
        std::optional<SyncState> state;
        ASSERT_FALSE(store.load(pair, state));
        ASSERT_TRUE(state);
        EXPECT_EQ(state->size(), 10u);
        EXPECT_EQ(state->record(0).source.size, 1u);
        // And the next run finishes what this one could not.
        ASSERT_FALSE(store.save(pair, Puts(20'000, 2)));
        ASSERT_FALSE(store.load(pair, state));
        EXPECT_EQ(state->size(), 20'000u);
    }
}

void RawSql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(SyncStateStore, ADatabaseThatCannotBeReadIsAnErrorUntilItIsForgotten) {
    struct Case {
        const char* what;
        std::function<void(const std::string& db)> damage;
        StoreError::Kind kind;
        const char* says;
        bool forgettable;
    };
    const Case cases[] = {
        {"not a database at all", [](const std::string& db) { std::ofstream(db) << std::string(8192, 'x'); },
         StoreError::Kind::Unreadable, "ist beschädigt", true},
        {"damaged pages",
         [](const std::string& db) {
             const auto size = std::filesystem::file_size(db);
             std::fstream f(db, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(4096);
             f << std::string(size - 4096, '\xAB');
         },
         StoreError::Kind::Unreadable, "ist beschädigt", true},
        {"another program's database",
         [](const std::string& db) {
             std::filesystem::remove(db);
             RawSql(db, "CREATE TABLE notes(text)");
         },
         StoreError::Kind::Unreadable, "ist keine von Kirvo", true},
        {"written by a newer version", [](const std::string& db) { RawSql(db, "PRAGMA user_version = 99"); },
         StoreError::Kind::Newer, "stammt von einer neueren Version von Kirvo (Schema 99)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const PairKey pair(kLaptop, kStick);
        const std::string db = dir / "abgleich.db";
        {
            SyncStateStore store(dir.path());
            ASSERT_FALSE(store.save(pair, Puts(3000, 1)));
        }
        c.damage(db);
        SyncStateStore store(dir.path());
        std::optional<SyncState> state;
        const StoreError error = store.load(pair, state);
        EXPECT_EQ(error.kind, c.kind);
        EXPECT_FALSE(state);
        EXPECT_EQ(error.message.rfind("Die Zustandsdatenbank „" + db + "“ " + c.says, 0), 0u) << error.message;
        EXPECT_TRUE(store.save(pair, Puts(1, 1)));

        std::string notice;
        const StoreError forgetting = store.forget(pair, &notice);
        EXPECT_EQ(!forgetting, c.forgettable) << forgetting.message;
        if (c.forgettable) {
            EXPECT_NE(notice.find("Sie liegt nun unter „" + db + ".defekt-"), std::string::npos) << notice;
            EXPECT_EQ(Dump(store, pair), "keiner");
        } else {
            EXPECT_EQ(Dump(store, pair), error.message);
        }
    }
}

// A stick at a fixed mount point is known by its file system: another stick
// there, or none, is refused rather than taken for it, also where both had
// the same key (a loop device without udev); a state an earlier version kept
// under that key is still found, and starting afresh with another stick
// keeps it.
TEST(SyncStateStore, AStateIsUsedOnlyWithTheDiskItDescribes) {
    const auto at = [](const char* path, FileSystemIdentity disk) {
        const MountEntry mount{1, 7, 0, "/", disk.mountPoint, disk.type, disk.source};
        return RootIdentity::OnMount(path, &mount, nullptr, std::move(disk));
    };
    const RootIdentity stickA = at("/mnt/stick", {"A-1", "STICK_A", "ext4", "/dev/loop0", "", "/mnt/stick"});
    const RootIdentity stickB = at("/mnt/stick", {"B-2", "STICK_B", "ext4", "/dev/loop0", "", "/mnt/stick"});
    ASSERT_EQ(stickA.earlierText(), stickB.earlierText());
    const std::string one = "ordner/datei-0=1/2 ", other = "Für das Ziel „/mnt/stick“ ist ein anderer Datenträger";
    TempDir dir;
    SyncStateStore store(dir.path());
    ASSERT_FALSE(store.save(PairKey(kLaptop, stickA.AsEarlier()), Puts(1, 1)));
    RawSql(dir / "abgleich.db", "DROP TABLE place");  // as an earlier version left it
    EXPECT_EQ(Dump(store, PairKey(kLaptop, stickA)), one);
    ASSERT_FALSE(store.save(PairKey(kLaptop, stickA), Puts(1, 1)));
    EXPECT_EQ(Dump(store, PairKey(kLaptop, stickB)).substr(0, other.size()), other);
    ASSERT_FALSE(store.forget(PairKey(kLaptop, stickB)));
    EXPECT_EQ(Dump(store, PairKey(kLaptop, stickB)), "keiner");
    EXPECT_EQ(Dump(store, PairKey(kLaptop, stickA)), one);
    // Begun afresh with A, and B gets a state of its own: each is known by its own.
    ASSERT_FALSE(store.forget(PairKey(kLaptop, stickA)));
    ASSERT_FALSE(store.save(PairKey(kLaptop, stickA), Puts(1, 1)));
    ASSERT_FALSE(store.save(PairKey(kLaptop, stickB), Puts(2, 1)));

    const std::string refused = " Abgeglichen wird nicht";
    const struct {
        const char* what;
        RootIdentity target;
        std::string dump;
    } cases[] = {
        {"the stick", stickA, one},
        {"the stick mounted elsewhere", at("/media/anna/STICK_A", {"A-1", "", "ext4", "/dev/sdb1", "", "/media/anna/STICK_A"}),
         one},
        {"the other stick", stickB, "ordner/datei-0=1/2 ordner/datei-1=1/2 "},
        {"a third stick there", at("/mnt/stick", {"C-3", "STICK_C", "ext4", "/dev/loop0", "", "/mnt/stick"}),
         other + " als beim letzten Abgleich eingehängt („STICK_C“ statt „STICK_"},
        {"nothing mounted there", at("/mnt/stick", {"R-0", "", "ext4", "/dev/vda", "", "/"}),
         "Für das Ziel „/mnt/stick“ ist der Datenträger des letzten Abgleichs nicht mehr unter „/mnt/stick“ eingehängt. "
         "Ist er angeschlossen?" + refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Dump(store, PairKey(kLaptop, c.target)).substr(0, c.dump.size()), c.dump);
        if (c.dump.starts_with("Für das Ziel"))
            EXPECT_EQ(Dump(store, PairKey(c.target, kLaptop)).substr(0, c.dump.size() + 2),
                      "Für die Quelle" + c.dump.substr(std::string("Für das Ziel").size()));
    }
}

TEST(SyncStateStore, ADatabaseLockedByAnotherRunBeyondTheWaitIsAnError) {
    TempDir dir;
    const PairKey pair(kLaptop, kStick);
    SyncStateStore store(dir.path(), 200);
    ASSERT_FALSE(store.save(pair, Puts(5, 1)));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "abgleich.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::optional<SyncState> state;
    const StoreError error = store.load(pair, state);
    EXPECT_EQ(error.kind, StoreError::Kind::Busy);
    EXPECT_EQ(error.message, "Die Zustandsdatenbank „" + (dir / "abgleich.db") +
                                 "“ ist seit 1 Sekunden von einem anderen Vorgang gesperrt.");
    // Undo must not begin while the state cannot be set aside.
    bool forgotten = true;
    std::string notice;
    EXPECT_EQ(store.forgetBeforeUndo(pair, forgotten, notice).kind, StoreError::Kind::Busy);
    EXPECT_FALSE(forgotten);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_FALSE(store.load(pair, state));
    EXPECT_EQ(state->size(), 5u);
    EXPECT_FALSE(store.forgetBeforeUndo(pair, forgotten, notice));
    EXPECT_TRUE(forgotten);
    EXPECT_EQ(Dump(store, pair), "keiner");
}

TEST(PairLock, ASecondRunOnThePairIsRefusedUntilTheFirstEndsHoweverItEnds) {
    TempDir dir;
    const PairKey pair(kLaptop, kStick), reversed(kStick, kLaptop), other(kLaptop, kOther);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        PairLock::Refusal refusal;
        std::optional<PairLock> lock = PairLock::Acquire(dir.path(), pair, std::chrono::milliseconds(0), refusal);
        (void)!write(ready[1], lock ? "1" : "0", 1);
        pause();
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, '1');

    PairLock::Refusal refusal;
    EXPECT_FALSE(PairLock::Acquire(dir.path(), reversed, std::chrono::milliseconds(100), refusal));
    EXPECT_EQ(refusal.holder, child);
    EXPECT_EQ(refusal.message, "Diese beiden Ordner werden gerade von einem anderen Vorgang abgeglichen (Prozess " +
                                   std::to_string(child) + ").");
    EXPECT_TRUE(PairLock::Acquire(dir.path(), other, std::chrono::milliseconds(0), refusal));

    kill(child, SIGKILL);  // a run that dies leaves no lock behind
    waitpid(child, nullptr, 0);
    std::optional<PairLock> mine = PairLock::Acquire(dir.path(), pair, std::chrono::milliseconds(0), refusal);
    ASSERT_TRUE(mine);
    // Also within one process (two windows' runs) the pair is taken.
    EXPECT_FALSE(PairLock::Acquire(dir.path(), pair, std::chrono::milliseconds(0), refusal));
    EXPECT_EQ(refusal.holder, getpid());
    mine.reset();
    EXPECT_TRUE(PairLock::Acquire(dir.path(), pair, std::chrono::milliseconds(0), refusal));
    close(ready[0]);
    close(ready[1]);
}

}  // namespace
}  // namespace kirvo
