#include "app/Startup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MemoryProfileStore.h"
#include "job/TextSource.h"
#include "support/FakeFileLayer.h"

namespace {

using ::testing::ElementsAre;

// Records which modes ran, with what, and answers as told.
class RecordingModes : public StartupModes {
public:
    bool installed = true;
    bool installAnswer = true;
    bool uninstallAnswer = true;
    std::string logWrittenByJob = "job log\r\n";
    std::vector<std::string> events;
    WipeOptions sheetOptions;
    std::string logBeforeJob;

    bool IsInstalled() override {
        events.push_back("IsInstalled");
        return installed;
    }
    bool RunInstall() override {
        events.push_back("RunInstall");
        return installAnswer;
    }
    void RunSettingsSheet(const WipeOptions& loaded) override {
        events.push_back("RunSettingsSheet");
        sheetOptions = loaded;
    }
    bool RunUninstall() override {
        events.push_back("RunUninstall");
        return uninstallAnswer;
    }
    int RunJob(const std::string& text, std::string& log) override {
        events.push_back("RunJob:" + text);
        logBeforeJob = log;
        log += logWrittenByJob;
        return 1;
    }
    void ShowLogViewer(const std::string& log) override { events.push_back("Viewer:" + log); }
    void ShowError(const std::string& text) override { events.push_back("Error:" + text); }
};

struct Fixture : ::testing::Test {
    RecordingModes modes;
    MemoryProfileStore store;
    WipeOptions options;
    std::string log = "stale log\r\n";
    FakeFileLayer files;  // counts as Windows does
    EnglishTextSource texts;

    int Run(const std::string& commandLine) {
        return RunStartup(modes, store, options, log, commandLine);
    }
    int Quick(const std::string& path) {
        return QuickDelete(modes, store, options, log, files, texts, path);
    }
};

using Startup = Fixture;

TEST_F(Startup, CancelledInstallStopsBeforeAnything) {
    modes.installed = false;
    modes.installAnswer = false;
    store.WriteProfileInt("Settings", "nOvwr", 9);
    EXPECT_EQ(Run("C:\\a.txt"), 0);
    EXPECT_THAT(modes.events, ElementsAre("IsInstalled", "RunInstall"));
    EXPECT_EQ(options.nOvwr, 3);  // nothing loaded
    EXPECT_EQ(log, "stale log\r\n");
}

TEST_F(Startup, InstallComesFirstWhateverTheCommandLine) {
    modes.installed = false;
    EXPECT_EQ(Run("/delete"), 1);
    EXPECT_THAT(modes.events, ElementsAre("IsInstalled", "RunInstall", "RunUninstall"));

    modes.events.clear();
    EXPECT_EQ(Run("C:\\a.txt"), 1);
    EXPECT_THAT(modes.events,
                ElementsAre("IsInstalled", "RunInstall", "RunJob:C:\\a.txt", "Viewer:job log\r\n"));
}

TEST_F(Startup, EmptyCommandLineShowsTheSheetWithTheLoadedOptions) {
    store.WriteProfileInt("Settings", "nOvwr", 0);  // out of range, passed on unchanged
    EXPECT_EQ(Run(""), 1);
    EXPECT_THAT(modes.events, ElementsAre("IsInstalled", "RunSettingsSheet"));
    EXPECT_EQ(modes.sheetOptions.nOvwr, 0);
    EXPECT_EQ(options.nOvwr, 0);
    EXPECT_TRUE(store.Writes().size() == 1);  // start-up itself writes nothing
}

TEST_F(Startup, UninstallOnlyForTheExactWord) {
    modes.uninstallAnswer = false;
    EXPECT_EQ(Run("/delete"), 0);
    EXPECT_THAT(modes.events, ElementsAre("IsInstalled", "RunUninstall"));

    modes.events.clear();
    modes.uninstallAnswer = true;
    EXPECT_EQ(Run("/delete"), 1);
    EXPECT_THAT(modes.events, ElementsAre("IsInstalled", "RunUninstall"));

    for (const char* nearMiss : {"/delete ", " /delete", "/DELETE", "/Delete", "/delete\t",
                                 "\"/delete\"", "/delet", "/deletex"}) {
        modes.events.clear();
        EXPECT_EQ(Run(nearMiss), 1) << nearMiss;
        EXPECT_THAT(modes.events, ElementsAre("IsInstalled", std::string("RunJob:") + nearMiss,
                                              "Viewer:job log\r\n"))
            << nearMiss;
    }
    // A string with the word followed by a NUL is not the word either.
    modes.events.clear();
    Run(std::string("/delete\0x", 9));
    EXPECT_EQ(modes.events.at(1).rfind("RunJob:", 0), 0u);
}

TEST_F(Startup, JobStartsWithAnEmptyLogAndShowsItWhenLogIsOn) {
    EXPECT_EQ(Run("\"C:\\x y\\f.txt\" C:\\b"), 1);
    EXPECT_EQ(modes.logBeforeJob, "");
    EXPECT_EQ(log, "job log\r\n");
    EXPECT_THAT(modes.events, ElementsAre("IsInstalled", "RunJob:\"C:\\x y\\f.txt\" C:\\b",
                                          "Viewer:job log\r\n"));
}

TEST_F(Startup, JobWithLogOffShowsNoViewer) {
    store.WriteProfileInt("Settings", "Log", 0);
    EXPECT_EQ(Run("C:\\a.txt"), 1);
    EXPECT_THAT(modes.events, ElementsAre("IsInstalled", "RunJob:C:\\a.txt"));
}

TEST_F(Startup, JobThatFindsNothingStillShowsTheViewer) {
    modes.logWrittenByJob = "";
    EXPECT_EQ(Run("\""), 1);
    EXPECT_THAT(modes.events, ElementsAre("IsInstalled", "RunJob:\"", "Viewer:"));
}

TEST_F(Startup, QuickDeleteQuotesThePathAndReloadsTheOptions) {
    options.bNotDel = 1;  // as start-up loaded it
    options.m_nOverrun = 0;
    store.WriteProfileInt("Settings", "bNotDel", 0);
    store.WriteProfileInt("Settings", "nOvwr", 9);
    EXPECT_EQ(Quick("C:\\x y\\f.txt"), 1);
    EXPECT_THAT(modes.events, ElementsAre("RunJob:\"C:\\x y\\f.txt\"", "Viewer:job log\r\n"));
    EXPECT_EQ(modes.logBeforeJob, "");
    EXPECT_EQ(options.bNotDel, 1);
    EXPECT_EQ(options.nOvwr, 9);
    EXPECT_EQ(options.m_nOverrun, 1024);  // nothing stored: a quick delete overruns

    modes.events.clear();
    store.WriteProfileInt("Settings", "Log", 0);
    Quick("C:\\a.txt");
    EXPECT_THAT(modes.events, ElementsAre("RunJob:\"C:\\a.txt\""));
}

// The limit counts characters as the system does (UTF-16 code units), not bytes.
TEST_F(Startup, QuickDeleteRefusesPathsThatDoNotFitQuoted) {
    std::string cjk;
    for (int i = 0; i < 254; ++i)
        cjk += "\xE6\x97\xA5";  // 日: three bytes, one unit
    for (const std::string& fits : {"C:\\" + std::string(254, 'p'), "C:\\" + cjk}) {
        modes.events.clear();
        EXPECT_EQ(Quick(fits), 1);
        EXPECT_EQ(modes.events.at(0), "RunJob:\"" + fits + "\"");

        modes.events.clear();
        log = "stale log\r\n";
        const std::string tooLong = fits + "q";
        EXPECT_EQ(Quick(tooLong), 1);
        ASSERT_EQ(modes.events.size(), 1u);
        EXPECT_EQ(
            modes.events[0],
            "Error:The path is too long to be deleted (more than 257 characters):\r\n" + tooLong);
        EXPECT_EQ(log, "stale log\r\n");
    }
}

}  // namespace
