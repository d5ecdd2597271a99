#include "app/WipeOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MemoryProfileStore.h"

namespace {

using Write = MemoryProfileStore::Write;

struct Named {
    const char* name;
    int32_t WipeOptions::*field;
    int32_t loadDefault;
};

// Every option with its registry name and its default on an empty registry.
const std::vector<Named> kAll = {
    {"m_nDodChar", &WipeOptions::m_nDodChar, 65},
    {"m_nOverrun", &WipeOptions::m_nOverrun, 0},
    {"m_nBufferSize", &WipeOptions::m_nBufferSize, 2048},
    {"nAnticacheSize", &WipeOptions::nAnticacheSize, 20},
    {"rAntiFolder", &WipeOptions::rAntiFolder, 0},
    {"AddWipe", &WipeOptions::AddWipe, 0},
    {"bAntiOneShot", &WipeOptions::bAntiOneShot, 1},
    {"bNotDel", &WipeOptions::bNotDel, 0},
    {"nFiles", &WipeOptions::nFiles, 40},
    {"rRen", &WipeOptions::rRen, 1},
    {"rZLen", &WipeOptions::rZLen, 1},
    {"rNull", &WipeOptions::rNull, 1},
    {"Date", &WipeOptions::Date, 1},
    {"Dummy", &WipeOptions::Dummy, 0},
    {"NDispE", &WipeOptions::NDispE, 0},
    {"NDispN", &WipeOptions::NDispN, 0},
    {"Confirm", &WipeOptions::Confirm, 0},
    {"DummySkip", &WipeOptions::DummySkip, 1},
    {"nOvwr", &WipeOptions::nOvwr, 3},
    {"DispF", &WipeOptions::DispF, 1},
    {"Log", &WipeOptions::Log, 1},
};

TEST(WipeOptions, EmptyStoreLoadsTheDefaults) {
    MemoryProfileStore store;
    WipeOptions o;
    o.nOvwr = 99;
    o.bNotDel = 7;
    LoadOptions(store, o);
    for (const Named& n : kAll)
        EXPECT_EQ(o.*n.field, n.loadDefault) << n.name;
    EXPECT_TRUE(store.Writes().empty());
}

TEST(WipeOptions, EachValueIsReadFromItsOwnNameUnchecked) {
    MemoryProfileStore store;
    // Distinct values, several outside any page's range, one negative.
    int32_t v = -5;
    for (const Named& n : kAll)
        store.WriteProfileInt("Settings", n.name, v++ * 1000);
    WipeOptions o;
    LoadOptions(store, o);
    v = -5;
    for (const Named& n : kAll)
        EXPECT_EQ(o.*n.field, v++ * 1000) << n.name;
}

TEST(WipeOptions, OtherSectionsAreIgnored) {
    MemoryProfileStore store;
    store.WriteProfileInt("Other", "nOvwr", 9);
    WipeOptions o;
    LoadOptions(store, o);
    EXPECT_EQ(o.nOvwr, 3);
}

TEST(WipeOptions, QuickDeleteReloadOverrunsBy1024AndKeepsNotDel) {
    MemoryProfileStore store;
    WipeOptions o;
    LoadOptions(store, o);
    EXPECT_EQ(o.m_nOverrun, 0);

    o.bNotDel = 1;  // as loaded at start-up
    store.WriteProfileInt("Settings", "bNotDel", 0);
    store.WriteProfileInt("Settings", "nOvwr", 7);
    ReloadOptionsForQuickDelete(store, o);
    EXPECT_EQ(o.m_nOverrun, 1024);
    EXPECT_EQ(o.bNotDel, 1);
    EXPECT_EQ(o.nOvwr, 7);

    store.WriteProfileInt("Settings", "m_nOverrun", 0);
    ReloadOptionsForQuickDelete(store, o);
    EXPECT_EQ(o.m_nOverrun, 0);
}

TEST(WipeOptions, QuickDeleteReloadReadsEveryOtherField) {
    MemoryProfileStore store;
    int32_t v = 100;
    for (const Named& n : kAll)
        store.WriteProfileInt("Settings", n.name, v++);
    WipeOptions o;
    ReloadOptionsForQuickDelete(store, o);
    v = 100;
    for (const Named& n : kAll) {
        const int32_t expected = n.field == &WipeOptions::bNotDel ? 0 : v;
        EXPECT_EQ(o.*n.field, expected) << n.name;
        ++v;
    }
}

TEST(WipeOptions, SavingUnchangedDefaultsWritesOnlyTheOverrun) {
    MemoryProfileStore store;
    SaveOptions(store, WipeOptions{});
    EXPECT_THAT(store.Writes(), ::testing::ElementsAre(Write{"Settings", "m_nOverrun", 0}));

    // Now stored: a second save of the same values writes nothing.
    SaveOptions(store, WipeOptions{});
    EXPECT_EQ(store.Writes().size(), 1u);
}

TEST(WipeOptions, OverrunOf1024IsNotStoredOnAFreshStore) {
    MemoryProfileStore store;
    WipeOptions o;
    o.m_nOverrun = 1024;
    SaveOptions(store, o);
    EXPECT_TRUE(store.Writes().empty());
    WipeOptions loaded;
    LoadOptions(store, loaded);
    EXPECT_EQ(loaded.m_nOverrun, 0);
}

TEST(WipeOptions, SaveWritesChangedValuesInItsOrder) {
    MemoryProfileStore store;
    store.WriteProfileInt("Settings", "Log", 0);
    const size_t before = store.Writes().size();

    WipeOptions o;
    o.m_nOverrun = 1024;  // equals the comparison default: not written
    o.Log = 1;            // differs from the stored 0
    o.nOvwr = 50;
    o.NDispN = 1;
    o.bNotDel = 1;
    SaveOptions(store, o);
    const std::vector<Write> writes(store.Writes().begin() + static_cast<long>(before),
                                    store.Writes().end());
    EXPECT_THAT(writes, ::testing::ElementsAre(
                            Write{"Settings", "NDispN", 1}, Write{"Settings", "nOvwr", 50},
                            Write{"Settings", "Log", 1}, Write{"Settings", "bNotDel", 1}));
}

TEST(WipeOptions, EveryFieldIsSavedUnderItsOwnName) {
    MemoryProfileStore store;
    WipeOptions o;
    int32_t v = 7000;
    for (const Named& n : kAll)
        o.*n.field = v++;
    SaveOptions(store, o);
    EXPECT_EQ(store.Writes().size(), kAll.size());
    WipeOptions back;
    LoadOptions(store, back);
    EXPECT_EQ(back, o);
}

}  // namespace
