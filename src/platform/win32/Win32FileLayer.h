#pragma once

#include <string>

#include "wipe/FileLayer.h"

// The file layer on Windows, through the narrow (ANSI) calls. Files are opened with share mode
// 0 and without following reparse points; status reads go through the directory search, so
// that they work on files that are open elsewhere. Lengths count UTF-16 code units, as the
// system's path limits do.
class Win32FileLayer : public FileLayer {
public:
    bool GetStatus(const std::string& path, FileStatus& status) override;
    std::unique_ptr<FileHandle> Open(const std::string& path, OpenMode mode, int* cause = nullptr,
                                     long* osError = nullptr) override;
    void Rename(const std::string& from, const std::string& to) override;
    void Remove(const std::string& path) override;
    bool FindFirst(const std::string& pattern, FindResult& found) override;
    std::string TempPath() override;
    size_t Length(const std::string& text) const override;
    PathLimits Limits() const override;
    PathStyle Style() const override { return PathStyle::kWindows; }
};

// The file-error cause for a GetLastError value (a DWORD).
int CauseFromWin32Error(unsigned long error);
