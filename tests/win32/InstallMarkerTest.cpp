#include "install/InstallMarker.h"

#include <gtest/gtest.h>

#include "RegistryTestUtil.h"

namespace {

constexpr char kMarkerKey[] = "Software\\fen_works";

class InstallMarker : public ::testing::Test {
protected:
    void SetUp() override { regtest::DeleteTree(kMarkerKey); }
    void TearDown() override { regtest::DeleteTree(kMarkerKey); }
};

TEST_F(InstallMarker, SetThenClear) {
    EXPECT_FALSE(IsInstalled());
    EXPECT_FALSE(ClearInstalled());  // no key yet

    EXPECT_TRUE(SetInstalled());
    EXPECT_TRUE(IsInstalled());
    const auto values = regtest::ListValues(kMarkerKey);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "marlock");
    EXPECT_EQ(values[0].type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(regtest::AsDword(values[0]), 1u);

    EXPECT_TRUE(ClearInstalled());
    EXPECT_FALSE(IsInstalled());
    // The key itself stays, empty.
    EXPECT_TRUE(regtest::KeyExists(kMarkerKey));
    EXPECT_TRUE(regtest::ListValues(kMarkerKey).empty());
    EXPECT_FALSE(ClearInstalled());
}

TEST_F(InstallMarker, OnlyPresenceOfAtMostFourBytesCounts) {
    struct Row {
        const char* what;
        DWORD type;
        DWORD size;
        bool installed;
    };
    const BYTE data[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    const Row rows[] = {
        {"dword 0", REG_DWORD, 4, true},       {"binary 4", REG_BINARY, 4, true},
        {"binary 2", REG_BINARY, 2, true},     {"string of 4 bytes", REG_SZ, 4, true},
        {"empty binary", REG_BINARY, 0, true}, {"binary 5", REG_BINARY, 5, false},
        {"qword", REG_QWORD, 8, false},
    };
    for (const Row& r : rows) {
        regtest::DeleteTree(kMarkerKey);
        regtest::SetValue(kMarkerKey, "marlock", r.type, data, r.size);
        EXPECT_EQ(IsInstalled(), r.installed) << r.what;
    }
}

TEST_F(InstallMarker, OtherNamesAndTheOptionsKeyDoNotCount) {
    regtest::SetDword(kMarkerKey, "Marlock2", 1);
    regtest::SetDword("Software\\fen works", "marlock", 1);
    EXPECT_FALSE(IsInstalled());
    regtest::DeleteTree("Software\\fen works");
}

TEST(Platform, WineReportsAnNtPlatform) {
    EXPECT_TRUE(IsWindowsNT());
}

}  // namespace
