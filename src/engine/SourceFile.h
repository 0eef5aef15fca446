#pragma once

// Loading a source drawing set: the worker's side of opening a file, shared
// by the window and the command-line tool so both admit exactly the same
// files with the same messages.

#include "BookmarkNames.h"
#include "Workflow.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

class PdfDocument;

namespace SourceFile {

// The inclusive size limit of a source file, in bytes (100 MB).
inline constexpr qint64 sizeLimit = 104857600;

// An admitted, grouped and scanned drawing set.
struct Opened
{
    QByteArray bytes;
    std::unique_ptr<PdfDocument> document;
    QList<DrawingGroup> groups;
    QSet<int> noTextPages;
    // Every page's text layer as the scan took it, for the reads that follow.
    KeptTextLayers textLayers;
    // Per zero-based page, the sheet name its bookmark spells, if any.
    QMap<int, BookmarkName> bookmarkNames;
};

// Progress of the open, by phase: (label, done, total) with the labels
// "Grouping" and "Checking text".
using PhaseProgress = std::function<void(const QString& label, int done, int total)>;

// Reads the file at `path` (at most sizeLimit bytes; a path that is not a
// regular file, or more bytes than the limit, is not a readable PDF),
// opens it, admits it, groups its pages and finds the pages without text.
// Runs on the worker. Throws CancellationError, PlanfolioError (the
// admission, grouping and scan messages, "PDFs up to 100 MB are
// supported." and "This file is not a readable PDF.") or FileSystemError
// when the file cannot be examined or read.
Opened open(const QString& path, const WorkCancellation& cancel, const PhaseProgress& progress = {});

// The same from bytes already in memory.
Opened open(QByteArray bytes, const WorkCancellation& cancel, const PhaseProgress& progress = {});

} // namespace SourceFile
