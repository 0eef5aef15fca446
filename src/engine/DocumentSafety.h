#pragma once

// Checks and operations that guard what the system accepts and writes:
// admission, layout comparison, region text, filename validation, the
// register format and the export pipeline.

#include "Workflow.h"

#include <QList>
#include <QMap>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <filesystem>
#include <optional>

class PdfDocument;
class PdfPage;
class PageText;

namespace DocumentSafety {

// The first reason the opened document is not admissible, or nothing.
// Never throws. Visits pages in order and stops at the first problem.
std::optional<QString> problem(const PdfDocument& document);

// Same media box, crop box (each within 0.5 pt on x, y, width, height) and
// normalised rotation. Symmetric. Never throws.
bool layoutMatches(const PdfPage& a, const PdfPage& b);

// A page's geometry as a value: what decides its geometry group, kept so
// that regions saved from one set can find the same layout in another.
struct PageLayout
{
    QRectF mediaBox; // user space, points
    QRectF cropBox;  // user space, points
    int rotation = 0; // as stored, not normalised
    bool operator==(const PageLayout&) const = default;
};

// The layout of `page` (its boxes as PdfPage gives them, stored rotation).
PageLayout layoutOf(const PdfPage& page);
// The same rule as layoutMatches over two pages. Never throws.
bool layoutMatches(const PageLayout& a, const PageLayout& b);

// The result of reading one region.
struct RegionText
{
    QString text;
    bool warning = false;
    QList<EdgeReason> reasons; // why it warns; empty when it does not
};

// What a region is read as: a sheet number takes a few more dash forms to
// the hyphen a person types; the name and the page's display transform
// (user space → displayed page, PdfPage::displayTransform()) only shape
// the reasons a warning gives. Without a transform the page is taken as
// unrotated.
struct RegionRole
{
    bool number = false;
    QString name = QStringLiteral("Region");
    QTransform toDisplay;
};

// Region text of `box` (user space, points) on a page whose text layer has
// been taken once as `layer`; the widened box is grown by 2 pt and clipped
// to `cropBox`. The warning is set when the text is empty, when the exact
// and widened selections differ, or when the layer has text at the box's
// edges (PageText::edgeFindings with the 2 pt margin: a cut glyph, line or
// word, or other text within 2 pt outside, judged on the glyphs' ink where
// the layer has it). Both selections are brought to typed form first
// (typedText). Never throws.
RegionText read(const PageText& layer, const QRectF& cropBox, const Region& box, const RegionRole& role = {});

// Text as a person would type it: hyphen forms that look like "-"
// (U+2010, U+2011) become "-", soft hyphens are dropped and the Latin
// ligatures U+FB00 to U+FB06 become their letters; in a sheet number the
// figure dash and minus sign (U+2012, U+2212) become "-" too.
QString typedText(const QString& text, bool number);

// Splits at every Unicode White_Space character and joins the pieces with
// one space.
QString collapseWhitespace(const QString& text);

// The sheet filename: number + " - " + title + ".pdf", used exactly as given.
QString sheetFilename(const QString& number, const QString& title);

// The one message the user must act on before `rows` can be exported, or
// nothing when every row passes. Pure; first failing row wins.
std::optional<QString> filenameProblem(const QList<ReviewRow>& rows);

// For each row that the filename check would refuse for its own names, one
// line saying why, for the review table to show on that row: a character
// that cannot stand in a file name ("'/' cannot be used in a file name"),
// a name too long for one, or a number or file name another row has too.
// Rows with an empty number or title are left out: they are not read or
// typed yet, which their review state says. Keys are row indexes. Pure.
QMap<int, QString> rowProblems(const QList<ReviewRow>& rows);

// The register's quoting rule for one text field.
QString quoted(const QString& text);
// The register's header line, CR LF included.
QString registerHeader();
// One data line of the register, CR LF included.
QString registerLine(int page, const QString& number, const QString& title, const QString& filename);

// Writes one single-page PDF per row and "register.csv" into a new folder
// "Planfolio-<UUID>" directly inside `parent`; returns the folder's path.
// The files are written into a hidden ".Planfolio-<UUID>.partial" beside
// it, which is renamed only when complete. All or nothing: on any failure
// the folder is removed. Runs on the worker, sheets on one thread per core;
// `progress` is called after each sheet, one call at a time, done rising
// from 1, on any of those threads (the calling one included).
// Throws CancellationError, PlanfolioError (codes 1-4) or FileSystemError.
std::filesystem::path exportSheets(const QList<ReviewRow>& rows, const PdfDocument& document,
                                   const std::filesystem::path& parent, const WorkCancellation& cancel,
                                   const Progress& progress = {});

} // namespace DocumentSafety
