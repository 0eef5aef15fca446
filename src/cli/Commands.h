#pragma once

// The tool's commands. Each parses its own arguments, does its work through
// the Session and prints its JSON result on stdout. Failures are thrown as
// CliFailure; a returned value is the exit status of a success (0).

#include "OrderedJson.h"
#include "RegionsFile.h"
#include "Workflow.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <filesystem>

class Session;

namespace SourceFile {
struct Opened;
}

namespace Commands {

int inspect(const QStringList& args, Session& session);
int words(const QStringList& args, Session& session);
int read(const QStringList& args, Session& session);
int exportRows(const QStringList& args, Session& session);
int split(const QStringList& args, Session& session);
int suggest(const QStringList& args, Session& session);

// Shared by the commands.

// Prints `json` on stdout after clearing the progress line. Throws
// CliFailure when stdout cannot take it (a full disk, a closed pipe).
void print(Session& session, const OrderedJson& json);
// The same for a JSON text that ends with a line feed.
void print(Session& session, const QByteArray& json);
// Prints the command's help on stdout.
int printHelp(const QString& command);

// The parent folder named by --into, as an absolute path; refused before
// any work when it is not an existing folder, so a long read is not wasted.
std::filesystem::path parentFolder(const QString& value);

// The window's check of the names before an export starts: refused with
// the engine's message, before any folder exists.
void checkNames(const QList<ReviewRow>& rows);

// The export's result: {"folder": ..., "files": n}.
OrderedJson exportResult(const std::filesystem::path& folder, qsizetype files);

// The regions file at `path`; refused with the file's own message when it
// cannot be read or has the wrong shape.
RegionsFile loadRegions(const QString& path);
// Checks `file` against the opened set (entries without a layout must name
// existing groups and pages) and matches its entries to the set's groups
// and pages.
RegionsFile::Match matchRegions(const RegionsFile& file, const SourceFile::Opened& opened);

// Reads `pages` (zero-based, in that order) of the opened file with the
// regions that govern each one (its own entry, else its group's).
QList<PageRead> readPages(Session& session, const SourceFile::Opened& opened, const RegionsFile::Match& regions,
                          const QList<int>& pages);

// "3, 7, 12" from zero-based indices.
QString pageText(const QList<int>& indices);

} // namespace Commands
