#pragma once

#include <string>

#include "wipe/FileLayer.h"

// The file layer on Windows, through the narrow (ANSI) calls; the manifest makes their code
// page UTF-8. A folder is its path prefix as the engine split it, and every step builds prefix
// plus a single name. Files are opened with share mode 0 and without following reparse points;
// status reads open the entry for its attributes alone, which no other opener's share mode
// keeps out. Renames and removals act through a handle of the file whose identity (volume
// serial number and file index) was checked first, so a file moved onto the name after that
// check is never touched. Lengths count UTF-16 code units, as the system's path limits do.
//
// What Wine 8 does of this (checked with the 32-bit and the 64-bit build):
// - Renames and removals through a handle work by both routes below; a file held with share
//   mode 0 still gives its status by handle, and takes a status through a status-only handle.
// - The server acts on the Unix path that it resolved at the open. A parent folder swapped for
//   a link between the open and a rename still redirects the rename to whatever that path
//   reaches now, another's file included; a removal in that case removes neither file and yet
//   reports success. On Windows the handle holds the file it was opened on.
// - Unix symbolic links are followed even with FILE_FLAG_OPEN_REPARSE_POINT: a link to a file
//   describes and opens as that file, a dangling one reads as missing (CREATE_NEW still
//   refuses it). Only the calls by path (the directory search, GetFileAttributes) mark a link
//   to a folder as a reparse point; by handle it reads as a plain folder. CreateSymbolicLink
//   makes nothing, yet reports success.
class Win32FileLayer : public FileLayer {
public:
    std::unique_ptr<FolderHandle> OpenFolder(const std::string& folder, int* cause = nullptr,
                                             long* osError = nullptr) override;
    std::string TempPath() override;
    size_t Length(const std::string& text) const override;
    PathLimits Limits() const override;
    PathStyle Style() const override { return PathStyle::kWindows; }
};

// The file-error cause for a GetLastError value (a DWORD).
int CauseFromWin32Error(unsigned long error);

// How a file's information (times and attributes, new name, removal) is set through its
// handle: kernel32's SetFileInformationByHandle, or ntdll's NtSetInformationFile, which the
// systems that lack the first (the 32-bit build still runs there) have too.
enum class InfoRoute { kKernel32, kNtdll };

// The route this system offers: kernel32's where it exports the call. Looked up once.
InfoRoute SystemInfoRoute();

// What FolderHandle::Rename and Remove do, on whole paths and by the given route. Each opens
// `path` without following a reparse point, throws FileReplaced having done nothing when the
// handle's identity is not `expected`, refuses folders and reparse points (access denied), and
// acts through that handle only. A rename never replaces an existing entry.
void RenameChecked(const std::string& path, const std::string& newPath,
                   const FileIdentity& expected, InfoRoute route);
void RemoveChecked(const std::string& path, const FileIdentity& expected, InfoRoute route);
