#pragma once

// Sheet names from a set's bookmarks. Publishing tools write one outline
// entry per sheet, "A-101 - First Floor and Site Plan", often under an entry
// "Sheets": a second witness for every name read from the page, and the only
// source of a name for a page the PDF carries no text for.

#include "PdfDocument.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

struct BookmarkName
{
    QString number;
    QString title;
    // "<number> - <title>", as the review shows it.
    QString text() const { return number + QStringLiteral(" - ") + title; }
    bool operator==(const BookmarkName&) const = default;
};

namespace BookmarkNames {

// The sheet name an outline entry spells: "<number> - <title>", the dash
// also an en or em dash (each with white space around it) and the number
// holding a digit, or else the
// first word and the rest when that word looks like a sheet number (it
// holds a digit and no letter outside A–Z, a–z, e.g. "A101" or "E-2.1").
// Number and title keep their characters, white space collapsed; nothing
// when either would be empty.
std::optional<BookmarkName> parse(const QString& entry);

// Per zero-based page, the name of the first entry that opens it and
// spells one. Plain values: any thread.
QMap<int, BookmarkName> byPage(const QList<PdfDocument::Bookmark>& bookmarks);

// Whether a name read from the page is the bookmark's: number and title
// each equal once white space is collapsed, case is folded and the hyphen
// and dash characters are taken as one.
bool agrees(const BookmarkName& bookmark, const QString& number, const QString& title);

} // namespace BookmarkNames
