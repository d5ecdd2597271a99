#include "platform/win32/RegistryProfileStore.h"

#include <gtest/gtest.h>

#include "app/WipeOptions.h"
#include "RegistryTestUtil.h"

namespace {

constexpr char kAppKey[] = "Software\\fen works\\marlock";
constexpr char kSettingsKey[] = "Software\\fen works\\marlock\\Settings";

class RegistryProfile : public ::testing::Test {
protected:
    void SetUp() override { regtest::DeleteTree(kAppKey); }
    void TearDown() override { regtest::DeleteTree(kAppKey); }
    RegistryProfileStore store{"fen works", "marlock"};
};

TEST_F(RegistryProfile, FreshRegistryLoadsDefaultsAndCreatesTheKeyPath) {
    ASSERT_FALSE(regtest::KeyExists(kAppKey));
    WipeOptions o;
    o.nOvwr = 42;
    LoadOptions(store, o);
    EXPECT_EQ(o, WipeOptions{});
    EXPECT_TRUE(regtest::KeyExists(kSettingsKey));
    EXPECT_TRUE(regtest::ListValues(kSettingsKey).empty());
    EXPECT_EQ(store.ApplicationKeyPath(), kAppKey);
}

TEST_F(RegistryProfile, SavingUnchangedDefaultsWritesOnlyTheOverrun) {
    SaveOptions(store, WipeOptions{});
    const auto values = regtest::ListValues(kSettingsKey);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "m_nOverrun");
    EXPECT_EQ(values[0].type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(regtest::AsDword(values[0]), 0u);
}

TEST_F(RegistryProfile, OverrunOf1024IsNotWrittenOnAFreshRegistry) {
    WipeOptions o;
    o.m_nOverrun = 1024;
    SaveOptions(store, o);
    EXPECT_TRUE(regtest::ListValues(kSettingsKey).empty());
    WipeOptions next;
    LoadOptions(store, next);
    EXPECT_EQ(next.m_nOverrun, 0);
}

TEST_F(RegistryProfile, QuickDeleteReloadReads1024AndLeavesNotDel) {
    regtest::SetDword(kSettingsKey, "bNotDel", 0);
    WipeOptions o;
    o.bNotDel = 1;
    ReloadOptionsForQuickDelete(store, o);
    EXPECT_EQ(o.m_nOverrun, 1024);
    EXPECT_EQ(o.bNotDel, 1);
}

TEST_F(RegistryProfile, StoredValuesAreLoadedUncheckedAndNegativesRoundTrip) {
    struct Row {
        const char* name;
        DWORD stored;
        int32_t WipeOptions::*field;
        int32_t loaded;
    };
    const Row rows[] = {
        {"nOvwr", 0, &WipeOptions::nOvwr, 0},
        {"m_nBufferSize", 100000, &WipeOptions::m_nBufferSize, 100000},
        {"rRen", 7, &WipeOptions::rRen, 7},
        {"m_nOverrun", 0xFFFFFFFFu, &WipeOptions::m_nOverrun, -1},
        {"nAnticacheSize", 0x80000000u, &WipeOptions::nAnticacheSize, INT32_MIN},
    };
    for (const Row& r : rows)
        regtest::SetDword(kSettingsKey, r.name, r.stored);
    WipeOptions o;
    LoadOptions(store, o);
    for (const Row& r : rows)
        EXPECT_EQ(o.*r.field, r.loaded) << r.name;

    EXPECT_TRUE(store.WriteProfileInt("Settings", "nFiles", -40));
    EXPECT_EQ(store.GetProfileInt("Settings", "nFiles", 40), -40);
}

TEST_F(RegistryProfile, ValuesOfAnotherTypeReadAsTheDefault) {
    regtest::SetValue(kSettingsKey, "nOvwr", REG_SZ, "7", 2);
    const BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    regtest::SetValue(kSettingsKey, "nFiles", REG_BINARY, eight, sizeof(eight));
    EXPECT_EQ(store.GetProfileInt("Settings", "nOvwr", 3), 3);
    EXPECT_EQ(store.GetProfileInt("Settings", "nFiles", 40), 40);
}

TEST_F(RegistryProfile, ChangedValuesAreStoredAsDwords) {
    WipeOptions o;
    o.nOvwr = 50;
    o.Log = 0;
    SaveOptions(store, o);
    const auto values = regtest::ListValues(kSettingsKey);
    ASSERT_EQ(values.size(), 3u);  // nOvwr, m_nOverrun, Log
    for (const auto& v : values)
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD)) << v.name;
    WipeOptions back;
    LoadOptions(store, back);
    EXPECT_EQ(back, o);
}

}  // namespace
