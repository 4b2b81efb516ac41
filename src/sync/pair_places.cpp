#include "sync/pair_places.h"

#include <optional>
#include <string_view>

#include "platform/translation.h"
#include "sync/sqlite_database.h"

namespace kirvo {
namespace {

constexpr const char* kTable = R"(
CREATE TABLE IF NOT EXISTS place(
    first TEXT NOT NULL,
    second TEXT NOT NULL,
    first_place BLOB NOT NULL,
    second_place BLOB NOT NULL,
    first_disk TEXT NOT NULL,
    second_disk TEXT NOT NULL,
    PRIMARY KEY(first, second)) WITHOUT ROWID;
)";

// Why one root must not be used with what was recorded of it; none where it may.
StoreError Refusal(const RootIdentity& now, const FileSystemIdentity& then, bool source) {
    const FileSystemIdentity& disk = now.fileSystem();
    if (!then.OtherThan(disk)) return {};
    if (then.UnmountedIn(disk)) {
        return {StoreError::Kind::NotMounted,
                Format(source ? Tr("Für die Quelle „%s“ ist der Datenträger des letzten Abgleichs nicht mehr unter „%s“ "
                                   "eingehängt. Ist er angeschlossen?")
                              : Tr("Für das Ziel „%s“ ist der Datenträger des letzten Abgleichs nicht mehr unter „%s“ "
                                   "eingehängt. Ist er angeschlossen?"),
                       now.place(), then.mountPoint) +
                    Tr(" Abgeglichen wird nicht; es wird nichts kopiert und nichts gelöscht.")};
    }
    const std::string names = !then.label.empty() && !disk.label.empty() && then.label != disk.label
                                  ? Format(Tr(" („%s“ statt „%s“)"), disk.label, then.label)
                                  : std::string();
    return {StoreError::Kind::OtherDisk,
            Format(source ? Tr("Für die Quelle „%s“ ist ein anderer Datenträger als beim letzten Abgleich eingehängt%s.")
                          : Tr("Für das Ziel „%s“ ist ein anderer Datenträger als beim letzten Abgleich eingehängt%s."),
                   now.place(), names) +
                Tr(" Abgeglichen wird nicht: was auf dem Datenträger des letzten Abgleichs lag, sähe sonst wie "
                   "gelöscht aus.")};
}

bool HasState(const SqliteDatabase& db, const PairKey& key) {
    SqliteStatement pair(db, "SELECT 1 FROM pair WHERE first = ? AND second = ?");
    pair.bindText(1, key.first()).bindText(2, key.second());
    return pair.step();
}

}  // namespace

PairKey PairPlaces::KeyInUse(const PairKey& key) const {
    const std::optional<PairKey> earlier = key.Earlier();
    if (earlier && !HasState(db_, key) && HasState(db_, *earlier) && !Check(*earlier, true)) return *earlier;
    return key;
}

bool PairPlaces::exists() const {
    SqliteStatement table(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'place'");
    return table.step();
}

void PairPlaces::Record(const PairKey& key) {
    db_.exec(kTable);
    SqliteStatement put(db_, "INSERT OR REPLACE INTO place VALUES(?, ?, ?, ?, ?, ?)");
    put.bindText(1, key.first()).bindText(2, key.second());
    put.bindBlob(3, key.firstRoot().place()).bindBlob(4, key.secondRoot().place());
    put.bindText(5, key.firstRoot().fileSystem().Text()).bindText(6, key.secondRoot().fileSystem().Text());
    put.run();
}

StoreError PairPlaces::Check(const PairKey& key, bool hasState) const {
    if (!exists()) return {};
    const RootIdentity* now[2] = {&key.firstRoot(), &key.secondRoot()};
    // Each root against what was recorded of it (none: nothing), source first.
    const auto judge = [&](const std::optional<std::string_view> (&then)[2]) -> StoreError {
        for (const bool source : {true, false}) {
            const int column = source != key.swapped() ? 0 : 1;
            if (!then[column]) continue;
            if (StoreError refusal = Refusal(*now[column], FileSystemIdentity::Parse(*then[column]), source))
                return refusal;
        }
        return {};
    };
    SqliteStatement own(db_, "SELECT first_disk, second_disk FROM place WHERE first = ? AND second = ?");
    own.bindText(1, key.first()).bindText(2, key.second());
    if (own.step()) {
        if (!hasState) return {};
        const std::optional<std::string_view> then[2] = {own.blob(0), own.blob(1)};
        return judge(then);
    }
    // A state from before places were kept: nothing to judge it by.
    if (hasState) return {};
    // Not known by the roots' identities: another pair's state at the same places?
    SqliteStatement others(db_, "SELECT first_place, second_place, first_disk, second_disk FROM place "
                                "JOIN pair USING(first, second) "
                                "WHERE (first_place = ?1 AND second_place = ?2) OR (first_place = ?2 AND second_place = ?1)");
    others.bindBlob(1, now[0]->place()).bindBlob(2, now[1]->place());
    while (others.step()) {
        std::optional<std::string_view> then[2];
        for (int column = 0; column < 2; ++column)
            for (int recorded = 0; recorded < 2; ++recorded)
                if (others.blob(recorded) == now[column]->place()) then[column] = others.blob(2 + recorded);
        if (StoreError refusal = judge(then)) return refusal;
    }
    return {};
}

}  // namespace kirvo
