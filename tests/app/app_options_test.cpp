#include "app/app_options.h"

#include <gtest/gtest.h>

#include "app/in_memory_profile_store.h"

namespace kirvo {
namespace {

TEST(AppOptions, FirstStartHasTheDefaults) {
    InMemoryProfileStore store;
    AppOptions options;
    options.set(Option::VorDir, 1);  // a value the load must replace
    options.Load(store);
    EXPECT_TRUE(options.ueber5000());
    EXPECT_TRUE(options.vorLoeschen());
    EXPECT_TRUE(options.vorUeberschreiben());
    EXPECT_FALSE(options.vorDir());
    EXPECT_FALSE(options.subOrdner());
    EXPECT_FALSE(options.systemOrdner());
    EXPECT_TRUE(options.oneSecond());
    EXPECT_TRUE(options.beep());
    EXPECT_TRUE(options.papierkorb());
}

TEST(AppOptions, StoredValuesAreUsedUnchangedAndToggleToZeroOrOne) {
    InMemoryProfileStore store;
    store.WriteProfileInt("Optionen", "OneSecond", 7);
    store.WriteProfileInt("Optionen", "Beep", 0);
    AppOptions options;
    options.Load(store);
    EXPECT_EQ(options.value(Option::OneSecond), 7);
    EXPECT_TRUE(options.oneSecond());
    EXPECT_FALSE(options.beep());
    options.Toggle(Option::OneSecond);
    EXPECT_EQ(options.value(Option::OneSecond), 0);
    options.Toggle(Option::OneSecond);
    EXPECT_EQ(options.value(Option::OneSecond), 1);
}

TEST(AppOptions, BadStoredValuesGiveTheDefault) {
    InMemoryProfileStore store;
    store.WriteProfileString("Optionen", "ueber_5000", "ja");
    store.WriteProfileString("Optionen", "vorDir", "");
    store.WriteProfileString("Optionen", "SubOrdner", "1x");
    store.WriteProfileString("Optionen", "SystemOrdner", " 1 ");  // a number all the same
    AppOptions options;
    options.Load(store);
    EXPECT_EQ(options.value(Option::Ueber5000), 1);
    EXPECT_EQ(options.value(Option::VorDir), 0);
    EXPECT_EQ(options.value(Option::SubOrdner), 0);
    EXPECT_EQ(options.value(Option::SystemOrdner), 1);
}

TEST(AppOptions, SaveWritesAllAsIntegersInFieldOrder) {
    InMemoryProfileStore store;
    AppOptions options;
    options.Toggle(Option::SubOrdner);
    options.set(Option::Beep, 5);
    options.Save(store);
    EXPECT_EQ(store.size(), 14u);
    // The eight classic options keep their order; Papierkorb, Stunde and Pruefen
    // follow them, then the integers Vergleich and Abgleich and the named Verknuepfungen.
    const char* names[] = {"ueber_5000", "vorLoeschen", "vorUeberschreiben", "vorDir", "SubOrdner",
                           "SystemOrdner", "OneSecond", "Beep", "Papierkorb", "Stunde", "Pruefen"};
    const int32_t expected[] = {1, 1, 1, 0, 1, 0, 1, 5, 1, 0, 0};
    EXPECT_EQ(store.GetProfileInt("Optionen", "Vergleich", -1), 0);
    EXPECT_EQ(store.GetProfileInt("Optionen", "Abgleich", -1), 0);
    EXPECT_EQ(store.GetProfileString("Optionen", "Verknuepfungen"), "follow");
    for (size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(AppOptions::Table()[i].entry, names[i]);
        const auto* value = store.Find("Optionen", names[i]);
        ASSERT_NE(value, nullptr) << names[i];
        ASSERT_TRUE(std::holds_alternative<int32_t>(*value)) << names[i];
        EXPECT_EQ(std::get<int32_t>(*value), expected[i]) << names[i];
    }
    AppOptions reloaded;
    reloaded.Load(store);
    for (const OptionInfo& info : AppOptions::Table()) {
        EXPECT_EQ(reloaded.value(info.option), options.value(info.option)) << info.entry;
    }
}

TEST(AppOptions, EachOptionCommandFindsItsOption) {
    const std::pair<CommandId, Option> commands[] = {
        {CommandId::OptionUeber5000, Option::Ueber5000},
        {CommandId::OptionVorLoeschen, Option::VorLoeschen},
        {CommandId::OptionVorUeberschreiben, Option::VorUeberschreiben},
        {CommandId::OptionVorDir, Option::VorDir},
        {CommandId::OptionSubOrdner, Option::SubOrdner},
        {CommandId::OptionSystemOrdner, Option::SystemOrdner},
        {CommandId::OptionOneSecond, Option::OneSecond},
        {CommandId::OptionBeep, Option::Beep},
        {CommandId::OptionPapierkorb, Option::Papierkorb},
        {CommandId::OptionPruefen, Option::Pruefen},
    };
    for (auto [command, option] : commands) {
        const OptionInfo* info = AppOptions::ForCommand(command);
        ASSERT_NE(info, nullptr) << ToInt(command);
        EXPECT_EQ(info->option, option);
    }
    EXPECT_EQ(AppOptions::ForCommand(CommandId::FilterAll), nullptr);
}

}  // namespace
}  // namespace kirvo
