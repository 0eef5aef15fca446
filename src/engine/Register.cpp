#include "DocumentSafety.h"

#include <QTextBoundaryFinder>

// The text of "register.csv": a header line and one line per exported
// sheet, every line ending in CR LF. Text fields are always enclosed in
// double quotes; a field that a spreadsheet would take for a formula gets an
// apostrophe in front, so that opening the register never runs anything.

namespace {

// The first user-perceived character of `text` (one extended grapheme
// cluster), so that "=" followed by a combining mark is a different
// character from "=".
QString firstCharacter(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    const qsizetype end = finder.toNextBoundary();
    return end > 0 ? text.left(end) : QString();
}

bool startsLikeFormula(const QString& text)
{
    if (text.isEmpty())
        return false;
    const QString first = firstCharacter(text);
    return first == QLatin1String("=") || first == QLatin1String("+") || first == QLatin1String("-")
        || first == QLatin1String("@");
}

} // namespace

QString DocumentSafety::quoted(const QString& text)
{
    QString field = startsLikeFormula(text) ? QStringLiteral("'") + text : text;
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

QString DocumentSafety::registerHeader()
{
    return QStringLiteral("source_page,sheet_number,sheet_title,filename\r\n");
}

QString DocumentSafety::registerLine(int page, const QString& number, const QString& title, const QString& filename)
{
    return QString::number(page) + QLatin1Char(',') + quoted(number) + QLatin1Char(',') + quoted(title)
        + QLatin1Char(',') + quoted(filename) + QStringLiteral("\r\n");
}
