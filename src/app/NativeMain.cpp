// Tidewipe's native front end: runs a delete job over the files named on the command line with
// the POSIX file layer and no windows. Boxes are printed; the log goes to standard output.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "app/MemoryProfileStore.h"
#include "app/WipeOptions.h"
#include "job/DeleteJob.h"
#include "job/JobUi.h"
#include "job/TextSource.h"
#include "platform/posix/PosixFileLayer.h"
#include "wipe/Clock.h"

namespace {

class ConsoleJobUi : public JobUi {
public:
    void ShowBox(const std::string& text, const std::string& title, unsigned) override {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    }
    void Beep(unsigned) override {}
    bool Confirm(const std::string&) override { return true; }
    std::unique_ptr<ProgressWindow> CreateProgress() override { return nullptr; }
    void Sleep(unsigned milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

void Usage() {
    std::fputs(
        "usage: tidewipe-native [--set NAME=VALUE]... FILE...\n"
        "  Wipes and removes each FILE. NAME is an option's registry name (nOvwr, rNull,\n"
        "  bNotDel, ...). Without --set the defaults apply, with no confirmation, no\n"
        "  progress window and no log.\n",
        stderr);
}

// Quotes a path that holds a blank, as a shell's Send To does.
std::string Quoted(const std::string& path) {
    return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    MemoryProfileStore store;
    // A job with no windows unless asked for.
    store.WriteProfileInt(kSettingsSection, "DispF", 0);
    store.WriteProfileInt(kSettingsSection, "NDispN", 1);
    store.WriteProfileInt(kSettingsSection, "NDispE", 1);
    store.WriteProfileInt(kSettingsSection, "Log", 0);

    std::string targets;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--set") == 0 && i + 1 < argc) {
            const std::string setting = argv[++i];
            const size_t eq = setting.find('=');
            if (eq == std::string::npos || eq == 0) {
                Usage();
                return 2;
            }
            store.WriteProfileInt(
                kSettingsSection, setting.substr(0, eq).c_str(),
                static_cast<int32_t>(std::strtol(setting.c_str() + eq + 1, nullptr, 10)));
        } else if (std::strcmp(argv[i], "--help") == 0) {
            Usage();
            return 0;
        } else {
            if (!targets.empty()) targets += ' ';
            targets += Quoted(argv[i]);
        }
    }
    if (targets.empty()) {
        Usage();
        return 2;
    }

    PosixFileLayer files;
    ConsoleJobUi ui;
    EnglishTextSource texts;
    SystemClock clock;
    DeleteJob job(files, ui, texts, clock);
    LoadOptions(store, job);
    // The native job never shows a progress window. It always keeps a log, to tell its exit
    // status from the summary, and prints it when asked to.
    job.NDispN = 1;
    const bool printLog = job.Log != 0;
    job.Log = 1;

    std::string log;
    job.m_pLog = &log;
    job.RunJob(targets);
    if (printLog) std::fputs(log.c_str(), stdout);
    const size_t summary = log.rfind("NG+Exclude ");
    if (summary == std::string::npos) return 1;
    return std::atoi(log.c_str() + summary + std::strlen("NG+Exclude ")) == 0 ? 0 : 1;
}
