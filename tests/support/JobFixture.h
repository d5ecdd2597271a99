#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/DeleteJob.h"
#include "job/TextSource.h"
#include "support/FakeClock.h"
#include "support/FakeFileLayer.h"
#include "support/RecordingJobUi.h"

// A job wired to the doubles, with a folder C:\W and a temporary folder C:\Temp.
class JobFixture : public ::testing::Test {
protected:
    JobFixture() {
        files.AddFolder("C:\\W");
        files.AddFolder("C:\\Temp");
        files.SetTempPath("C:\\Temp\\");
        job.m_pLog = &log;
    }

    // Sets the target and runs the check, as the driver does before WipeFile.
    void Target(const std::string& path) {
        job.m_strPath = path;
        ASSERT_TRUE(job.CheckTarget()) << path;
    }

    int Wipe(const std::string& path, ProgressWindow* progress = nullptr) {
        Target(path);
        return job.WipeFile(progress);
    }

    // The trace lines that begin with one of the prefixes.
    std::vector<std::string> TraceOf(std::initializer_list<const char*> prefixes) const {
        std::vector<std::string> out;
        for (const std::string& line : files.Trace()) {
            for (const char* p : prefixes) {
                if (line.rfind(p, 0) == 0) {
                    out.push_back(line);
                    break;
                }
            }
        }
        return out;
    }

    // Only the contents: no renaming, no date, no truncation, the file stays.
    void KeepFile() {
        job.rRen = 0;
        job.Date = 0;
        job.rZLen = 0;
        job.bNotDel = 1;
    }

    FakeFileLayer files;
    RecordingJobUi ui;
    EnglishTextSource texts;
    FakeClock clock{900000000};
    DeleteJob job{files, ui, texts, clock};
    std::string log;
};
