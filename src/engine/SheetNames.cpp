#include "DocumentSafety.h"

#include <QChar>
#include <QHash>
#include <QSet>
#include <QVariant>

// The one place that decides what a sheet's file is called and whether a
// list of review rows can become files at all. Names are used exactly as the
// user approved them: a character that cannot stand in a file name fails the
// whole list instead of being replaced, so no file ever carries a name the
// user did not see in the table.

namespace {

const QString invalidRowData = QStringLiteral("Invalid row data.");
const QString missingName = QStringLiteral("Every page needs a number and title.");
const QString badCharacters =
    QStringLiteral("Remove invalid or invisible filename characters, or shorten the name.");
const QString duplicateName = QStringLiteral("Duplicate numbers or filenames. Edit them before exporting.");
const QString noRows = QStringLiteral("Read the selected regions first.");

// Longest sheet file name in UTF-8 bytes, safely below the 255-byte name
// limit of the common file systems.
constexpr qsizetype maxFilenameBytes = 239;

// A scalar that may not appear in a file name: the two path separators of
// the desktop platforms, controls (Cc), invisible format characters (Cf) and
// code points the Unicode tables do not assign (Cn, noncharacters included).
bool forbiddenScalar(char32_t scalar)
{
    if (scalar == U'/' || scalar == U':')
        return true;
    switch (QChar::category(scalar)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_NotAssigned:
        return true;
    default:
        return false;
    }
}

// True when `text` holds a forbidden scalar. UTF-16 is walked scalar by
// scalar; a surrogate without its partner is not a character at all and
// cannot be encoded in a file name, so it counts as forbidden.
bool hasForbiddenScalar(const QString& text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar unit = text.at(i);
        char32_t scalar = unit.unicode();
        if (unit.isHighSurrogate()) {
            if (i + 1 >= size || !text.at(i + 1).isLowSurrogate())
                return true;
            scalar = QChar::surrogateToUcs4(unit, text.at(i + 1));
            ++i;
        } else if (unit.isLowSurrogate()) {
            return true;
        }
        if (forbiddenScalar(scalar))
            return true;
    }
    return false;
}

// The first scalar of `text` that may not stand in a file name, described
// for a person: the character itself in quotes when it can be seen, its
// code point when it cannot. Nothing when every scalar may stand.
std::optional<QString> forbiddenDescription(const QString& text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar unit = text.at(i);
        char32_t scalar = unit.unicode();
        if (unit.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            scalar = QChar::surrogateToUcs4(unit, text.at(i + 1));
            ++i;
        } else if (unit.isSurrogate()) {
            return QStringLiteral("A broken character (U+") +
                   QString::number(uint(scalar), 16).toUpper().rightJustified(4, QLatin1Char('0')) +
                   QLatin1Char(')');
        }
        if (!forbiddenScalar(scalar))
            continue;
        if (scalar == U'/' || scalar == U':')
            return QStringLiteral("'") + QChar(char16_t(scalar)) + QStringLiteral("'");
        return QStringLiteral("An invisible character (U+") +
               QString::number(uint(scalar), 16).toUpper().rightJustified(4, QLatin1Char('0')) +
               QLatin1Char(')');
    }
    return std::nullopt;
}

// The key under which two texts count as the same name: canonical
// composition, then the full lower-case mapping. Lower-casing can leave a
// sequence that is no longer composed, so the key is composed once more and
// canonically equivalent texts always meet on one key.
QString duplicateKey(const QString& text)
{
    return text.normalized(QString::NormalizationForm_C)
        .toLower()
        .normalized(QString::NormalizationForm_C);
}

// The row's value under `key` when it is text.
std::optional<QString> textField(const ReviewRow& row, const QString& key)
{
    const auto it = row.constFind(key);
    if (it == row.constEnd() || it->typeId() != QMetaType::QString)
        return std::nullopt;
    return it->toString();
}

} // namespace

QString DocumentSafety::sheetFilename(const QString& number, const QString& title)
{
    return number + QStringLiteral(" - ") + title + QStringLiteral(".pdf");
}

std::optional<QString> DocumentSafety::filenameProblem(const QList<ReviewRow>& rows)
{
    QSet<QString> numberKeys;
    QSet<QString> filenameKeys;
    for (const ReviewRow& row : rows) {
        const std::optional<QString> number = textField(row, QStringLiteral("number"));
        if (!number)
            return invalidRowData;
        const std::optional<QString> title = textField(row, QStringLiteral("title"));
        if (!title)
            return invalidRowData;

        const QString filename = sheetFilename(*number, *title);
        if (number->isEmpty() || title->isEmpty())
            return missingName;
        if (hasForbiddenScalar(filename) || filename.toUtf8().size() > maxFilenameBytes)
            return badCharacters;

        const QString numberKey = duplicateKey(*number);
        if (numberKeys.contains(numberKey))
            return duplicateName;
        numberKeys.insert(numberKey);
        const QString filenameKey = duplicateKey(filename);
        if (filenameKeys.contains(filenameKey))
            return duplicateName;
        filenameKeys.insert(filenameKey);
    }
    if (rows.isEmpty())
        return noRows;
    return std::nullopt;
}

QMap<int, QString> DocumentSafety::rowProblems(const QList<ReviewRow>& rows)
{
    QMap<int, QString> problems;
    // First row of each number and file name key, for the duplicates.
    QHash<QString, int> numbers;
    QHash<QString, int> filenames;
    for (int i = 0; i < rows.size(); ++i) {
        const std::optional<QString> number = textField(rows[i], QStringLiteral("number"));
        const std::optional<QString> title = textField(rows[i], QStringLiteral("title"));
        if (!number || !title || number->isEmpty() || title->isEmpty())
            continue;
        const QString filename = sheetFilename(*number, *title);
        if (const std::optional<QString> character = forbiddenDescription(filename)) {
            problems.insert(i, *character + QStringLiteral(" cannot be used in a file name"));
            continue;
        }
        if (filename.toUtf8().size() > maxFilenameBytes) {
            problems.insert(i, QStringLiteral("The file name is %1 bytes long; at most %2 can be used")
                                   .arg(filename.toUtf8().size())
                                   .arg(maxFilenameBytes));
            continue;
        }
        const QString numberKey = duplicateKey(*number);
        const QString filenameKey = duplicateKey(filename);
        if (const auto first = numbers.constFind(numberKey); first != numbers.cend()) {
            problems.insert(i, QStringLiteral("Same number as page %1").arg(*first + 1));
            problems.insert(*first, QStringLiteral("Same number as page %1").arg(i + 1));
        } else if (const auto other = filenames.constFind(filenameKey); other != filenames.cend()) {
            problems.insert(i, QStringLiteral("Same file name as page %1").arg(*other + 1));
            problems.insert(*other, QStringLiteral("Same file name as page %1").arg(i + 1));
        }
        numbers.insert(numberKey, numbers.value(numberKey, i));
        filenames.insert(filenameKey, filenames.value(filenameKey, i));
    }
    return problems;
}
