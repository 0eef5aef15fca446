#pragma once

// The file-writing side of the export: new files that never replace
// anything, directory syncing, and the small set of hooks through which the
// test suites reach failures that a process running as root cannot provoke
// with permissions. Internal to the engine; the application never sets a
// hook.

#include "Workflow.h"

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <functional>
#include <system_error>

namespace ExportFiles {

// Writes `bytes` to a new file `target` inside `folder`: a temporary file
// is created exclusively (O_EXCL) in `folder`, filled, synced to disk and
// closed, then moved to `target` without replacing anything (an existing
// `target` gives EEXIST). On failure the temporary file is removed and the
// system's error is returned; an empty error code means success.
// `failWrite` makes the write fail after the temporary file exists (EIO),
// as a full disk would. Any thread; no shared state.
std::error_code writeNew(const std::filesystem::path& folder, const std::filesystem::path& target,
                         const QByteArray& bytes, bool failWrite = false);

// Moves the file or folder `from` to `to` only if nothing is named `to`
// (EEXIST otherwise); both must be on one file system. Where the file
// system lacks RENAME_NOREPLACE, a file is linked (link() never replaces)
// and a folder is renamed after checking that `to` does not exist. Any
// thread.
std::error_code moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Syncs the directory entry list of `folder` to disk, so that files moved
// into it survive a crash once the export reports success.
std::error_code syncDirectory(const std::filesystem::path& folder);

// True when `target` is `folder` joined with a single, ordinary file name:
// not empty, not "." or "..", no separator and no NUL byte.
bool isDirectChild(const std::filesystem::path& folder, const std::filesystem::path& target);

// A path from text, and text from a path, both in UTF-8 (the file-name
// encoding Qt uses on this platform).
std::filesystem::path toPath(const QString& text);
QString fromPath(const std::filesystem::path& path);

} // namespace ExportFiles

// Test hooks of the export; every member is empty by default, which means
// the ordinary behaviour.
struct ExportHooks
{
    // Called before sheet i is written (i = 0 … n-1) and before the
    // register (i = n), with the export folder.
    std::function<void(const std::filesystem::path& folder, int i)> beforeWrite;
    // Returns true to make the write of sheet i fail.
    std::function<bool(int i)> failWrite;
    // Replaces the step from the export folder and a sheet filename to the
    // file's path.
    std::function<std::filesystem::path(const std::filesystem::path& folder, const QString& filename)>
        sheetPath;
    // Replaces the removal of the export folder after a failure; returns
    // the removal error, empty on success.
    std::function<std::error_code(const std::filesystem::path& folder)> removeFolder;
    // Threads that write sheets; 0 means one per core (see exportThreads).
    int threads = 0;
};

namespace DocumentSafety {

// The export's thread count: one per core, at least 1 and at most 8.
int exportThreads();

// exportSheets with test hooks; the public exportSheets calls this with
// none set. Same contract as exportSheets.
std::filesystem::path exportSheetsWithHooks(const QList<ReviewRow>& rows, const PdfDocument& document,
                                            const std::filesystem::path& parent,
                                            const WorkCancellation& cancel, const Progress& progress,
                                            const ExportHooks& hooks);

} // namespace DocumentSafety
