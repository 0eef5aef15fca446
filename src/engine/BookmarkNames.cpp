#include "BookmarkNames.h"

#include "DocumentSafety.h"

#include <algorithm>

namespace {

bool looksLikeSheetNumber(const QString& word)
{
    bool digit = false;
    for (const QChar c : word) {
        if (c.isDigit())
            digit = true;
        else if (c.isLetter() && !(c.unicode() < 0x80))
            return false;
    }
    return digit && word.size() <= 16;
}

// The key two spellings of one name meet on.
QString key(const QString& text)
{
    QString s = DocumentSafety::collapseWhitespace(text).normalized(QString::NormalizationForm_C).toLower();
    for (QChar& c : s) {
        switch (c.unicode()) {
        case 0x2010: // hyphen
        case 0x2011: // non-breaking hyphen
        case 0x2012: // figure dash
        case 0x2013: // en dash
        case 0x2014: // em dash
        case 0x2212: // minus sign
            c = QLatin1Char('-');
            break;
        default:
            break;
        }
    }
    return s;
}

} // namespace

std::optional<BookmarkName> BookmarkNames::parse(const QString& entry)
{
    const QString text = DocumentSafety::collapseWhitespace(entry);
    for (const QChar dash : {QChar(u'-'), QChar(u'\u2013'), QChar(u'\u2014')}) {
        const QString separator = QLatin1Char(' ') + dash + QLatin1Char(' ');
        const qsizetype at = text.indexOf(separator);
        if (at > 0) {
            BookmarkName name{text.left(at).trimmed(), text.mid(at + separator.size()).trimmed()};
            if (!name.title.isEmpty() &&
                std::any_of(name.number.begin(), name.number.end(), [](QChar c) { return c.isDigit(); }))
                return name;
        }
    }
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    const QString rest = text.mid(space + 1);
    if (space > 0 && looksLikeSheetNumber(text.left(space)) &&
        std::any_of(rest.begin(), rest.end(), [](QChar c) { return c.isLetterOrNumber(); }))
        return BookmarkName{text.left(space), rest};
    return std::nullopt;
}

QMap<int, BookmarkName> BookmarkNames::byPage(const QList<PdfDocument::Bookmark>& bookmarks)
{
    QMap<int, BookmarkName> names;
    for (const PdfDocument::Bookmark& bookmark : bookmarks) {
        if (names.contains(bookmark.page))
            continue;
        if (std::optional<BookmarkName> name = parse(bookmark.title))
            names.insert(bookmark.page, std::move(*name));
    }
    return names;
}

bool BookmarkNames::agrees(const BookmarkName& bookmark, const QString& number, const QString& title)
{
    return key(bookmark.number) == key(number) && key(bookmark.title) == key(title);
}
