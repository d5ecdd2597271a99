#include "install/InstallMarker.h"

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RegistryTestUtil.h"
#include "ShellLinkReader.h"
#include "install/ShellLinks.h"
#include "install/Uninstall.h"
#include "support/RealFiles.h"

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

// ---- Uninstall entry and option keys

TEST(UninstallEntry, QuotesTheProgramOnlyWhenItsPathHoldsABlank) {
    EXPECT_EQ(UninstallCommand("C:\\Tools\\Tidewipe.exe"), "C:\\Tools\\Tidewipe.exe /delete");
    EXPECT_EQ(UninstallCommand("C:\\Program Files\\Tidewipe.exe"),
              "\"C:\\Program Files\\Tidewipe.exe\" /delete");
}

TEST(UninstallEntry, IsWrittenWithItsTwoValuesAndRemoved) {
    const char kEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\marlock";
    std::string program;
    ASSERT_TRUE(ProgramPath(program));
    RegisterUninstallEntry(HKEY_CURRENT_USER);
    const auto values = regtest::ListValues(kEntry);
    ASSERT_EQ(values.size(), 2u);
    for (const auto& v : values) {
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ)) << v.name;
        const std::string text(v.data.begin(), v.data.end());
        if (v.name == "UninstallString")
            EXPECT_EQ(text, UninstallCommand(program) + '\0');
        else
            EXPECT_EQ(v.name + "=" + text, std::string("DisplayName=Tidewipe") + '\0');
    }
    RemoveUninstallEntry(HKEY_CURRENT_USER);
    EXPECT_FALSE(regtest::KeyExists(kEntry));
    RemoveUninstallEntry(HKEY_CURRENT_USER);  // nothing there: nothing happens
}

TEST(UninstallEntry, SettingsKeysGoAndTheMakersKeyStays) {
    regtest::SetDword("Software\\fen works\\marlock\\Settings", "nOvwr", 9);
    regtest::SetDword("Software\\fen works\\other", "x", 1);
    DeleteSettingsKeys();
    EXPECT_FALSE(regtest::KeyExists("Software\\fen works\\marlock"));
    EXPECT_TRUE(regtest::KeyExists("Software\\fen works\\other"));
    regtest::DeleteTree("Software\\fen works");
}

// ---- Shortcuts

// The test prefix's own Send To, desktop and programs folders (Wine's shell rewrites the
// desktop's value as soon as it loads, so they cannot be pointed elsewhere). Whatever a test
// puts there or changes in the registry is undone afterwards.
class Shortcuts : public ::testing::Test {
protected:
    static constexpr const char* kShellFolders =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

    void SetUp() override {
        char desktop[MAX_PATH];
        SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);  // settles them
        for (const char* name : kFolders) {
            std::string folder;
            ASSERT_TRUE(QueryShellFolder(name, folder)) << name;
            m_folders.push_back(folder);
        }
        ASSERT_TRUE(ProgramPath(m_program));
        RemoveAll();
    }
    void TearDown() override {
        for (size_t i = 0; i < 3; ++i)
            regtest::SetValue(kShellFolders, kFolders[i], REG_SZ, m_folders[i].c_str(),
                              static_cast<DWORD>(m_folders[i].size() + 1));
        RemoveAll();
    }

    void RemoveAll() {
        RemoveSendToShortcut();
        RemoveDesktopShortcut();
        RemoveStartMenuShortcut();
        RemoveUninstallShortcut();
    }
    // The link files that exist, as folder-value/name.
    std::vector<std::string> Links() const {
        std::vector<std::string> found;
        for (size_t i = 0; i < 3; ++i) {
            for (const char* name : {"Tidewipe.LNK", "Tidewipe uninstall.LNK"}) {
                if (realfiles::Exists(m_folders[i] + "\\" + name))
                    found.push_back(std::string(kFolders[i]) + "/" + name);
            }
        }
        return found;
    }

    std::string ReadLink(size_t folder, const char* name) const {
        CoInitialize(nullptr);
        const std::string link = ReadShellLink(m_folders[folder] + "\\" + name);
        CoUninitialize();
        return link;
    }

    const char* kFolders[3] = {"SendTo", "Desktop", "Programs"};
    std::vector<std::string> m_folders;
    std::string m_program;
};

TEST_F(Shortcuts, EachPointsAtTheProgramWithItsArgumentsAndDescription) {
    EXPECT_TRUE(MakeSendToShortcut());
    EXPECT_TRUE(MakeDesktopShortcut());
    EXPECT_TRUE(MakeStartMenuShortcut());
    EXPECT_TRUE(MakeUninstallShortcut());
    EXPECT_TRUE(MakeDesktopShortcut());  // again: still one file
    const std::string plain = m_program + " |  | marlock";
    EXPECT_EQ(ReadLink(0, "Tidewipe.LNK"), plain);
    EXPECT_EQ(ReadLink(1, "Tidewipe.LNK"), plain);
    EXPECT_EQ(ReadLink(2, "Tidewipe.LNK"), plain);
    EXPECT_EQ(ReadLink(2, "Tidewipe uninstall.LNK"), m_program + " | /delete | marlock");

    // The same name in three folders: removing one leaves the others.
    RemoveDesktopShortcut();
    RemoveDesktopShortcut();
    RemoveUninstallShortcut();
    EXPECT_EQ(Links(), (std::vector<std::string>{"SendTo/Tidewipe.LNK", "Programs/Tidewipe.LNK"}));
}

// No folder named, or one so long that the link's path would not fit: no link anywhere, least
// of all at the root of the current drive or under a shortened name.
TEST_F(Shortcuts, AreLeftOutWhereNoWholePathCanBeMade) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kShellFolders, "SendTo");
    EXPECT_FALSE(MakeSendToShortcut());
    EXPECT_EQ(GetFileAttributesA("\\Tidewipe.LNK"), INVALID_FILE_ATTRIBUTES);

    realfiles::ScratchFolder dir;
    const std::string deep = dir.Folder() + std::string(250 - dir.Folder().size(), 'd');
    realfiles::CreateFolder(deep);
    regtest::SetValue(kShellFolders, "Desktop", REG_SZ, deep.c_str(),
                      static_cast<DWORD>(deep.size() + 1));
    EXPECT_FALSE(MakeDesktopShortcut());
    EXPECT_TRUE(realfiles::List(deep + "\\").empty());
    EXPECT_TRUE(Links().empty());
    EXPECT_TRUE(dir.Remove());
}

}  // namespace
