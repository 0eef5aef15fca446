#pragma once

// Reading the JSON files the system takes as input (regions files in the
// window and the command-line tool, rows files in the tool). Every failure
// names the file, so a user who passes several files knows which one to fix.

#include <QJsonObject>
#include <QString>

namespace JsonFile {

// The upper bound on an input file; regions and rows for 500 pages fit in
// a small fraction of it. Larger files (or endless ones such as /dev/zero)
// are refused instead of being read into memory.
inline constexpr qint64 sizeLimit = 16 * 1024 * 1024;

// The top-level object of the JSON file at `path`. Any thread. Throws a
// PlanfolioError (code 1) whose message is problem(path, …) when the file
// cannot be read, is too large, is not JSON, or holds something other than
// an object.
QJsonObject loadObject(const QString& path);

// "<path>: <problem>", the form of every complaint about an input file.
QString problem(const QString& path, const QString& what);

} // namespace JsonFile
