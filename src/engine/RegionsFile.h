#pragma once

// A regions file: the number and title regions of a drawing set's geometry
// groups and of single pages, as JSON, shared by the window ("Save
// regions…", "Apply regions…") and the command-line tool (read, split,
// suggest):
//   {"groups": {"1": {"number": [x, y, w, h], "title": [x, y, w, h],
//                     "layout": {"mediaBox": [x, y, w, h],
//                                "cropBox": [x, y, w, h], "rotation": 0}}},
//    "pages":  {"12": {"number": [...], "title": [...], "layout": {...}}}}
// Group and page numbers are one-based; rectangles are PDF points in each
// page's own unrotated space. A page entry replaces its group's regions for
// that page, as a per-page region does in the window. An entry may lack a
// region: the read then refuses that page with its own message.
//
// "layout" is optional. A group entry with a layout stands for the geometry
// group of that layout (boxes within 0.5 pt, same normalised rotation),
// whatever its number is in the set the file is used with, so regions saved
// from one week's set apply to the next week's even when the groups come in
// another order. A group entry without one stands for the group of that
// number, as files written before layouts were kept do. A page entry with a
// layout applies only to a page of that layout.
//
// A plain value, usable on any thread.

#include "DocumentSafety.h"
#include "Workflow.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

class PdfDocument;

class RegionsFile
{
  public:
    struct Entry
    {
        PageRegions regions;
        std::optional<DocumentSafety::PageLayout> layout;
        bool operator==(const Entry&) const = default;
    };

    // Zero-based group number as written in the file (its key minus one).
    QMap<int, Entry> groups;
    // Zero-based page index.
    QMap<int, Entry> pages;

    // The file at `path`. Throws a PlanfolioError (code 1) whose message
    // names the file ("<path>: …") when it cannot be read, is not JSON, or
    // does not have the shape above.
    static RegionsFile load(const QString& path);
    // The same from a parsed JSON object; `path` only names the file in
    // messages.
    static RegionsFile fromJson(const QJsonObject& root, const QString& path);

    // The file's text: groups, then pages, in ascending number, each entry
    // with "number", "title" (those present) and "layout" (when known),
    // rectangles rounded to a thousandth of a point. load() of this text
    // gives back the same regions and layouts.
    QByteArray toJson() const;

    // Throws a PlanfolioError naming the file when an entry without a
    // layout names a group or page that does not exist in a document of
    // `groupCount` groups and `pageCount` pages. Entries with a layout are
    // matched by match() instead and never refused here.
    void checkAgainst(int groupCount, int pageCount) const;

    // Which regions of the file govern which groups and pages of a set.
    struct Match
    {
        QMap<int, PageRegions> groups; // zero-based group index of the set
        QMap<int, PageRegions> pages;  // zero-based page index of the set
        QList<int> unmatchedGroups;    // zero-based group numbers of the file
        QList<int> unmatchedPages;     // zero-based page numbers of the file

        // The regions that govern page `index`: its own entry, else its
        // group's, else none.
        PageRegions effective(int index, const QList<DrawingGroup>& groups) const;
    };
    // The layouts of a set: of each group's first page, in group order,
    // and of every page, in page order.
    struct SetLayouts
    {
        QList<DocumentSafety::PageLayout> groups;
        QList<DocumentSafety::PageLayout> pages;
    };
    // Reads them from `document` with the PDF service's structure reader
    // (no text or rendering work). The thread that uses `document`.
    static SetLayouts layoutsOf(const PdfDocument& document, const QList<DrawingGroup>& groups);

    // Matches the file against a set with `layouts`. A group entry goes to
    // the first group of its layout (or of its number) that no earlier
    // entry took; a page entry to its page when that page exists and, if
    // the entry has a layout, has it. Pure.
    Match match(const SetLayouts& layouts) const;

    QString path;
};
