#include "app/path_history.h"

#include <gtest/gtest.h>

#include "app/in_memory_profile_store.h"

namespace kirvo {
namespace {

using Entries = std::vector<std::string>;

PathHistory Loaded(const Entries& stored, PathHistory::Letters letters = PathHistory::kNativeLetters) {
    InMemoryProfileStore store;
    for (size_t i = 0; i < stored.size(); ++i) {
        store.WriteProfileString("Quelle", "Quelle" + std::to_string(i), stored[i]);
    }
    PathHistory history("Quelle", letters);
    history.Load(store);
    return history;
}

TEST(PathHistory, LoadPresetsEntryZeroAndStopsAtTheFirstGap) {
    InMemoryProfileStore store;
    store.WriteProfileString("Ziel", "Ziel0", "/z/a");
    store.WriteProfileString("Ziel", "Ziel1", "");
    store.WriteProfileString("Ziel", "Ziel2", "/z/c");
    PathHistory history("Ziel");
    EXPECT_EQ(history.Load(store), "/z/a");
    EXPECT_EQ(history.entries(), Entries{"/z/a"});

    PathHistory empty("Quelle");
    EXPECT_EQ(empty.Load(store), "");
    EXPECT_TRUE(empty.entries().empty());
}

TEST(PathHistory, LoadHasNoUpperBound) {
    Entries stored;
    for (int i = 0; i < 13; ++i) stored.push_back("/p/" + std::to_string(i));
    PathHistory history = Loaded(stored);
    EXPECT_EQ(history.entries().size(), 13u);
    history.Update("/p/neu");  // the next comparison trims to ten
    ASSERT_EQ(history.entries().size(), 10u);
    EXPECT_EQ(history.entries().front(), "/p/neu");
    EXPECT_EQ(history.entries().back(), "/p/8");
}

TEST(PathHistory, UpdateRules) {
    using L = PathHistory::Letters;
    struct Case {
        const char* name;
        Entries before;
        std::string text;
        Entries after;
        L letters = PathHistory::kNativeLetters;
    };
    const Case cases[] = {
        {"new text goes on top", {"/a", "/b"}, "/c", {"/c", "/a", "/b"}},
        {"text already on top changes nothing", {"/a", "/b"}, "/a", {"/a", "/b"}},
        {"folded letters: a match ignoring case is replaced by the form used last",
         {"/a", "/b", "/c", "/Data/X", "/e"}, "/data/x", {"/data/x", "/a", "/b", "/c", "/e"}, L::Folded},
        {"folded letters: umlauts fold too", {"/Ärger", "/b"}, "/ärger", {"/ärger", "/b"}, L::Folded},
        {"distinct letters: two folders keep two entries", {"/x/S", "/a"}, "/x/s", {"/x/s", "/x/S", "/a"},
         L::Distinct},
        {"distinct letters: the same bytes move up", {"/x/S", "/x/s"}, "/x/s", {"/x/s", "/x/S"}, L::Distinct},
#ifdef _WIN32
        {"Windows folds letters", {"/x/S"}, "/x/s", {"/x/s"}},
#else
        {"Linux tells letters apart", {"/x/S"}, "/x/s", {"/x/s", "/x/S"}},
#endif
        {"trailing separator is a different path", {"/a/"}, "/a", {"/a", "/a/"}},
        {"empty text changes nothing", {"/a"}, "", {"/a"}},
        {"into an empty history", {}, "/a", {"/a"}},
    };
    for (const Case& c : cases) {
        PathHistory history = Loaded(c.before, c.letters);
        history.Update(c.text);
        EXPECT_EQ(history.entries(), c.after) << c.name;
    }
}

TEST(PathHistory, ElevenComparisonsKeepTheTenMostRecent) {
    PathHistory history("Quelle");
    for (int i = 0; i < 11; ++i) history.Update("/p/" + std::to_string(i));
    ASSERT_EQ(history.entries().size(), 10u);
    EXPECT_EQ(history.entries().front(), "/p/10");
    EXPECT_EQ(history.entries().back(), "/p/1");
}

TEST(PathHistory, SaveWritesAtMostTenAndLeavesHigherIndices) {
    InMemoryProfileStore store;
    store.WriteProfileString("Quelle", "Quelle11", "/alt");
    Entries stored;
    for (int i = 0; i < 12; ++i) stored.push_back("/p/" + std::to_string(i));
    PathHistory history = Loaded(stored);
    history.Save(store);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(store.GetProfileString("Quelle", "Quelle" + std::to_string(i)),
                  "/p/" + std::to_string(i));
    }
    EXPECT_FALSE(store.Contains("Quelle", "Quelle10"));
    EXPECT_EQ(store.GetProfileString("Quelle", "Quelle11"), "/alt");
}

TEST(PathHistory, CaseFoldingLeavesOtherBytesAlone) {
    EXPECT_TRUE(PathHistory::EqualIgnoringCase("/HOME/ÖL", "/home/öl"));
    EXPECT_FALSE(PathHistory::EqualIgnoringCase("/a", "/ab"));
    EXPECT_FALSE(PathHistory::EqualIgnoringCase("\xC3", "\xE3"));
    EXPECT_FALSE(PathHistory::EqualIgnoringCase("×", "÷"));  // U+00D7 is no letter
    EXPECT_TRUE(PathHistory::EqualIgnoringCase("", ""));
}

}  // namespace
}  // namespace kirvo
