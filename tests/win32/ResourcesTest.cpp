#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AppStrings.h"
#include "res/EnglishStrings.h"
#include "res/resource.h"

namespace {

const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// Reads one entry of a string block in an explicit language, independent of the locale.
bool FindString(UINT id, LANGID lang, std::wstring& out) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_STRING),
                                MAKEINTRESOURCEA(id / 16 + 1), lang);
    if (res == nullptr) return false;
    const WCHAR* p = static_cast<const WCHAR*>(LockResource(LoadResource(module, res)));
    for (UINT i = 0; i < id % 16; ++i)
        p += 1 + *p;
    out.assign(p + 1, *p);
    return *p != 0;
}

std::string ToUtf8(const std::wstring& w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                        nullptr);
    return s;
}

// The printf directives of a format, in order.
std::vector<std::string> Directives(const std::string& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] == '%') out.push_back(s.substr(i, 2)), ++i;
    }
    return out;
}

TEST(Resources, EnglishTableMatchesTheBuiltInTexts) {
    const std::vector<unsigned> ids = EnglishStringIds();
    EXPECT_EQ(ids.size(), 52u);
    for (unsigned id : ids) {
        std::wstring text;
        ASSERT_TRUE(FindString(id, kEnglish, text)) << id;
        EXPECT_EQ(ToUtf8(text), EnglishString(id)) << id;
    }
    // Nothing else in the range.
    for (unsigned id = 57344; id <= IDS_UNINSTALL_LINK_FAILED; ++id) {
        std::wstring text;
        if (EnglishString(id) == nullptr) {
            EXPECT_FALSE(FindString(id, kEnglish, text)) << id;
        }
    }
}

TEST(Resources, JapaneseTableHasEveryStringWithTheSameDirectives) {
    for (unsigned id : EnglishStringIds()) {
        std::wstring text;
        ASSERT_TRUE(FindString(id, kJapanese, text)) << id;
        const std::string ja = ToUtf8(text);
        EXPECT_EQ(Directives(ja), Directives(EnglishString(id))) << id << ": " << ja;
    }
}

TEST(Resources, NamesAreTheSameInBothLanguagesAndMatchTheFallbacks) {
    for (unsigned id : {IDS_APP_TITLE, IDS_PRODUCT_NAME, IDS_UNINSTALL_LINK, IDS_LINK}) {
        std::wstring en, ja;
        ASSERT_TRUE(FindString(id, kEnglish, en));
        ASSERT_TRUE(FindString(id, kJapanese, ja));
        EXPECT_EQ(en, ja) << id;
        ASSERT_NE(BuiltInAppString(id), nullptr) << id;
        EXPECT_EQ(ToUtf8(ja), BuiltInAppString(id)) << id;
    }
    EXPECT_EQ(BuiltInAppString(IDS_LOG_OK), nullptr);
}

TEST(Resources, LoadAppStringFallsBackOnlyForNames) {
    EXPECT_EQ(LoadAppString(IDS_APP_TITLE), "marlock");
    EXPECT_FALSE(LoadAppString(IDS_REASON_OPEN).empty());
    EXPECT_EQ(LoadAppString(57347), "");  // not in the table, no built-in text
}

// A manifest whose architecture does not match the build is ignored whole, silently: check
// what it does in this build, not what it says.
TEST(Resources, TheManifestTakesEffect) {
    EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));

    // Version 6 is the side-by-side assembly; the system folder's copy is version 5. (Wine's
    // version 6 reports 5.81 from DllGetVersion, so the assembly is what tells.)
    char path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(LoadLibraryA("comctl32.dll"), path, MAX_PATH), 0u);
    CharLowerA(path);
    EXPECT_NE(std::string(path).find("microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
              std::string::npos)
        << path;
}

TEST(Resources, VersionInfoNamesTheProduct) {
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
    char* value = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductName",
                               reinterpret_cast<void**>(&value), &len));
    EXPECT_STREQ(value, "Tidewipe");
}

// With the UTF-8 code page the narrow calls handle names in any script.
TEST(Resources, NarrowFileCallsHandleJapaneseAndGreekNames) {
    char tempDir[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, tempDir), 0u);
    const std::string dir =
        std::string(tempDir) + "tw-res-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    const std::string name = "\xE6\x97\xA5\xE6\x9C\xAC\xCE\xB1\xCE\xB2.txt";  // 日本αβ.txt
    const std::string path = dir + "\\" + name;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);

    WIN32_FIND_DATAA found;
    HANDLE f = FindFirstFileA((dir + "\\*.txt").c_str(), &found);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    FindClose(f);
    EXPECT_EQ(std::string(found.cFileName), name);

    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_TRUE(RemoveDirectoryA(dir.c_str()));
}

}  // namespace
