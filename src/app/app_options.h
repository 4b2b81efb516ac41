#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "view/command_id.h"
#include "engine/run_options.h"
#include "sync/sync_mode.h"

namespace kirvo {

class ProfileStore;

// The persisted on/off options, in their load and save order. Each is named
// after its entry in section "Optionen". The first eight are the program's
// classic ones; Papierkorb (deleting and replacing through the trash) and
// Stunde (times exactly one hour apart count as equal) came later, and
// Pruefen (each copy read back from the disk and compared with its source).
enum class Option { Ueber5000, VorLoeschen, VorUeberschreiben, VorDir, SubOrdner, SystemOrdner,
                    OneSecond, Beep, Papierkorb, Stunde, Pruefen };

struct OptionInfo {
    Option option;
    std::string_view entry;
    int32_t defaultValue;
    CommandId command;
};

// The options live in memory from the view's initial update to its
// destruction. A toggle changes only the value in memory; Save writes all
// of them. Values read from the store are used as they are: zero is off,
// anything else on.
class AppOptions {
public:
    static constexpr size_t kCount = 11;
    static const std::array<OptionInfo, kCount>& Table();
    // The option toggled by a command, or nullptr for any other command.
    static const OptionInfo* ForCommand(CommandId command);

    AppOptions();  // the defaults

    void Load(ProfileStore& store);
    void Save(ProfileStore& store) const;

    int32_t value(Option option) const { return values_[static_cast<size_t>(option)]; }
    bool isOn(Option option) const { return value(option) != 0; }
    void set(Option option, int32_t value) { values_[static_cast<size_t>(option)] = value; }
    // 0 becomes 1, anything else 0.
    void Toggle(Option option);

    bool ueber5000() const { return isOn(Option::Ueber5000); }
    bool vorLoeschen() const { return isOn(Option::VorLoeschen); }
    bool vorUeberschreiben() const { return isOn(Option::VorUeberschreiben); }
    bool vorDir() const { return isOn(Option::VorDir); }
    bool subOrdner() const { return isOn(Option::SubOrdner); }
    bool systemOrdner() const { return isOn(Option::SystemOrdner); }
    bool oneSecond() const { return isOn(Option::OneSecond); }
    bool beep() const { return isOn(Option::Beep); }
    bool papierkorb() const { return isOn(Option::Papierkorb); }
    bool stunde() const { return isOn(Option::Stunde); }
    bool pruefen() const { return isOn(Option::Pruefen); }

    // "Vergleich": what makes two files equal, 0 by time (the default), 1 by
    // time and size, 2 by content. A stored value outside 0..2 reads as 0.
    static constexpr std::string_view kCompareEntry = "Vergleich";
    CompareBy compareBy() const { return compareBy_; }
    void setCompareBy(CompareBy value) { compareBy_ = value; }
    // The command of each setting in "Vergleichen nach", and back (Time for any other command).
    static CommandId CompareCommand(CompareBy value);
    static bool IsCompareCommand(CommandId command);
    static CompareBy CompareByOf(CommandId command);

    // "Abgleich": how "Dateien abgleichen" brings the trees into line, 0
    // "Neuere kopieren" (the default), 1 "Spiegeln" (the target becomes a
    // copy of the source), 2 "In beide Richtungen mit Gedächtnis". A stored
    // value outside 0..2 reads as 0.
    static constexpr std::string_view kSyncEntry = "Abgleich";
    SyncMode syncMode() const { return syncMode_; }
    void setSyncMode(SyncMode value) { syncMode_ = value; }
    // The command of each setting in "Abgleichen als", and back (Update for any other command).
    static CommandId SyncCommand(SyncMode value);
    static bool IsSyncCommand(CommandId command);
    static SyncMode SyncModeOf(CommandId command);
    // "Verknuepfungen": what a symbolic link is to the comparison and the
    // copies, stored as its name (follow, copy, skip); anything else reads as follow.
    static constexpr std::string_view kLinksEntry = "Verknuepfungen";
    LinkMode links() const { return links_; }
    void setLinks(LinkMode value) { links_ = value; }
    // The command of each setting in "Verknüpfungen", and back (Follow for any other command).
    static CommandId LinksCommand(LinkMode value);
    static bool IsLinksCommand(CommandId command);
    static LinkMode LinksOf(CommandId command);

    // "Parallel": folders listed at once per side; 0 lets the lister choose
    // by the file system. Read from the store, never written: the window
    // does not change it.
    static constexpr std::string_view kParallelEntry = "Parallel";
    static constexpr int32_t kMaxParallel = 1024;
    int32_t parallel() const { return parallel_; }
    void setParallel(int32_t value) { parallel_ = value < 0 ? 0 : value > kMaxParallel ? kMaxParallel : value; }

    // "Dateivergleich": the program that shows two files' differences (its
    // name or path), called with the two full paths; "" for the first of the
    // usual ones found, else the built-in view. Read, never written.
    static constexpr std::string_view kDiffProgramEntry = "Dateivergleich";
    const std::string& diffProgram() const { return diffProgram_; }
    void setDiffProgram(std::string program) { diffProgram_ = std::move(program); }

private:
    std::array<int32_t, kCount> values_{};
    int32_t parallel_ = 0;
    std::string diffProgram_;
    CompareBy compareBy_ = CompareBy::Time;
    SyncMode syncMode_ = SyncMode::Update;
    LinkMode links_ = LinkMode::Follow;
};

}  // namespace kirvo
