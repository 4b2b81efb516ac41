#include "app/app_options.h"

#include "app/profile_store.h"

namespace kirvo {

const std::array<OptionInfo, AppOptions::kCount>& AppOptions::Table() {
    static const std::array<OptionInfo, kCount> table{{
        {Option::Ueber5000, "ueber_5000", 1, CommandId::OptionUeber5000},
        {Option::VorLoeschen, "vorLoeschen", 1, CommandId::OptionVorLoeschen},
        {Option::VorUeberschreiben, "vorUeberschreiben", 1, CommandId::OptionVorUeberschreiben},
        {Option::VorDir, "vorDir", 0, CommandId::OptionVorDir},
        {Option::SubOrdner, "SubOrdner", 0, CommandId::OptionSubOrdner},
        {Option::SystemOrdner, "SystemOrdner", 0, CommandId::OptionSystemOrdner},
        {Option::OneSecond, "OneSecond", 1, CommandId::OptionOneSecond},
        {Option::Beep, "Beep", 1, CommandId::OptionBeep},
        {Option::Papierkorb, "Papierkorb", 1, CommandId::OptionPapierkorb},
        {Option::Stunde, "Stunde", 0, CommandId::OptionStunde},
        {Option::Pruefen, "Pruefen", 0, CommandId::OptionPruefen},
    }};
    return table;
}

const OptionInfo* AppOptions::ForCommand(CommandId command) {
    for (const OptionInfo& info : Table()) {
        if (info.command == command) return &info;
    }
    return nullptr;
}

AppOptions::AppOptions() {
    for (const OptionInfo& info : Table()) set(info.option, info.defaultValue);
}

void AppOptions::Load(ProfileStore& store) {
    for (const OptionInfo& info : Table()) {
        set(info.option, store.GetProfileInt(profile::kOptions, info.entry, info.defaultValue));
    }
    setParallel(store.GetProfileInt(profile::kOptions, kParallelEntry, 0));
    setDiffProgram(store.GetProfileString(profile::kOptions, kDiffProgramEntry, ""));
    const int32_t compare = store.GetProfileInt(profile::kOptions, kCompareEntry, 0);
    compareBy_ = compare >= 0 && compare <= 2 ? static_cast<CompareBy>(compare) : CompareBy::Time;
    const int32_t sync = store.GetProfileInt(profile::kOptions, kSyncEntry, 0);
    syncMode_ = sync >= 0 && sync <= 2 ? static_cast<SyncMode>(sync) : SyncMode::Update;
    if (!ParseLinkMode(store.GetProfileString(profile::kOptions, kLinksEntry), links_)) links_ = LinkMode::Follow;
}

void AppOptions::Save(ProfileStore& store) const {
    for (const OptionInfo& info : Table()) {
        store.WriteProfileInt(profile::kOptions, info.entry, value(info.option));
    }
    store.WriteProfileInt(profile::kOptions, kCompareEntry, static_cast<int32_t>(compareBy_));
    store.WriteProfileInt(profile::kOptions, kSyncEntry, static_cast<int32_t>(syncMode_));
    store.WriteProfileString(profile::kOptions, kLinksEntry, LinkModeName(links_));
}

CommandId AppOptions::SyncCommand(SyncMode value) {
    switch (value) {
    case SyncMode::Mirror: return CommandId::SyncModeMirror;
    case SyncMode::TwoWay: return CommandId::SyncModeTwoWay;
    case SyncMode::Update: break;
    }
    return CommandId::SyncModeUpdate;
}

bool AppOptions::IsSyncCommand(CommandId command) {
    return command == CommandId::SyncModeUpdate || command == CommandId::SyncModeMirror ||
           command == CommandId::SyncModeTwoWay;
}

SyncMode AppOptions::SyncModeOf(CommandId command) {
    if (command == CommandId::SyncModeMirror) return SyncMode::Mirror;
    if (command == CommandId::SyncModeTwoWay) return SyncMode::TwoWay;
    return SyncMode::Update;
}

CommandId AppOptions::CompareCommand(CompareBy value) {
    switch (value) {
    case CompareBy::TimeAndSize: return CommandId::CompareByTimeAndSize;
    case CompareBy::Content: return CommandId::CompareByContent;
    case CompareBy::Time: break;
    }
    return CommandId::CompareByTime;
}

bool AppOptions::IsCompareCommand(CommandId command) {
    return command == CommandId::CompareByTime || command == CommandId::CompareByTimeAndSize ||
           command == CommandId::CompareByContent;
}

CompareBy AppOptions::CompareByOf(CommandId command) {
    if (command == CommandId::CompareByTimeAndSize) return CompareBy::TimeAndSize;
    if (command == CommandId::CompareByContent) return CompareBy::Content;
    return CompareBy::Time;
}

CommandId AppOptions::LinksCommand(LinkMode value) {
    switch (value) {
    case LinkMode::Copy: return CommandId::LinksCopy;
    case LinkMode::Skip: return CommandId::LinksSkip;
    case LinkMode::Follow: break;
    }
    return CommandId::LinksFollow;
}

bool AppOptions::IsLinksCommand(CommandId command) {
    return command == CommandId::LinksFollow || command == CommandId::LinksCopy || command == CommandId::LinksSkip;
}

LinkMode AppOptions::LinksOf(CommandId command) {
    if (command == CommandId::LinksCopy) return LinkMode::Copy;
    if (command == CommandId::LinksSkip) return LinkMode::Skip;
    return LinkMode::Follow;
}

void AppOptions::Toggle(Option option) { set(option, isOn(option) ? 0 : 1); }

}  // namespace kirvo
