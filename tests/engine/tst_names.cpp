// Sheet file names and the check that guards every export: forbidden and
// invisible characters, the byte limit, duplicates by case and composition,
// the order of the checks and the first failing row.

#include "DocumentSafety.h"

#include <QtTest>

using Rows = QList<ReviewRow>;

namespace {

const QString invalid = QStringLiteral("Invalid row data.");
const QString missing = QStringLiteral("Every page needs a number and title.");
const QString badChars = QStringLiteral("Remove invalid or invisible filename characters, or shorten the name.");
const QString duplicate = QStringLiteral("Duplicate numbers or filenames. Edit them before exporting.");
const QString empty = QStringLiteral("Read the selected regions first.");

ReviewRow row(const QVariant& number, const QVariant& title)
{
    ReviewRow r{{QStringLiteral("page"), 1}, {QStringLiteral("state"), QStringLiteral("Read; review")}};
    if (number.isValid())
        r.insert(QStringLiteral("number"), number);
    if (title.isValid())
        r.insert(QStringLiteral("title"), title);
    return r;
}

ReviewRow row(const QString& number, const QString& title)
{
    return row(QVariant(number), QVariant(title));
}

QString scalar(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

} // namespace

class NamesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filenameIsNumberDashTitle();
    void problem_data();
    void problem();
    void rowProblemsNameTheRowAndWhy();
};

void NamesTest::filenameIsNumberDashTitle()
{
    QCOMPARE(DocumentSafety::sheetFilename(QStringLiteral(" A-1 "), QStringLiteral("Plan ")),
             QStringLiteral(" A-1  - Plan .pdf"));
}

void NamesTest::problem_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("message"); // null: the list passes

    const QString ok;
    QTest::newRow("empty list") << Rows{} << empty;
    QTest::newRow("one good row") << Rows{row(QStringLiteral("A-101"), QStringLiteral("Ground floor plan"))} << ok;

    // Row data.
    QTest::newRow("integer number after a good row")
        << Rows{row(QStringLiteral("A-1"), QStringLiteral("Plan")), row(QVariant(101), QVariant(QStringLiteral("Plan")))}
        << invalid;
    QTest::newRow("missing title") << Rows{row(QVariant(QStringLiteral("A-1")), QVariant())} << invalid;
    QTest::newRow("missing number") << Rows{row(QVariant(), QVariant(QStringLiteral("Plan")))} << invalid;
    QTest::newRow("byte array title is not text")
        << Rows{row(QVariant(QStringLiteral("A-1")), QVariant(QByteArray("Plan")))} << invalid;
    QTest::newRow("invalid data before empty title") << Rows{row(QVariant(7), QVariant(QString()))} << invalid;

    // Empty parts; whitespace is not empty.
    QTest::newRow("empty title") << Rows{row(QStringLiteral("A-101"), QString())} << missing;
    QTest::newRow("empty number") << Rows{row(QString(), QStringLiteral("Plan"))} << missing;
    QTest::newRow("space number passes") << Rows{row(QStringLiteral(" "), QStringLiteral("Plan"))} << ok;
    QTest::newRow("empty title before a slash in the number")
        << Rows{row(QStringLiteral("A/1"), QString())} << missing;

    // Forbidden characters.
    const auto withTitle = [](const QString& title) { return Rows{row(QStringLiteral("A-1"), title)}; };
    QTest::newRow("slash") << Rows{row(QStringLiteral("A/101"), QStringLiteral("Plan"))} << badChars;
    QTest::newRow("colon") << withTitle(QStringLiteral("Plan: level 1")) << badChars;
    QTest::newRow("tab") << withTitle(QStringLiteral("Plan\tB")) << badChars;
    QTest::newRow("line feed") << withTitle(QStringLiteral("Plan\nB")) << badChars;
    QTest::newRow("soft hyphen") << withTitle(QStringLiteral("Ground\u00ADfloor")) << badChars;
    QTest::newRow("zero-width space") << withTitle(QStringLiteral("Ground\u200Bfloor")) << badChars;
    QTest::newRow("right-to-left override") << withTitle(QStringLiteral("fdp.\u202Eexe")) << badChars;
    QTest::newRow("format character beyond the BMP") << withTitle(QStringLiteral("Plan") + scalar(0xE0001))
                                                    << badChars;
    QTest::newRow("noncharacter FDD0") << withTitle(QStringLiteral("Plan\uFDD0")) << badChars;
    QTest::newRow("noncharacter 1FFFF") << withTitle(QStringLiteral("Plan") + scalar(0x1FFFF)) << badChars;
    QTest::newRow("unassigned code point") << withTitle(QStringLiteral("Plan") + scalar(0xE0080)) << badChars;
    QTest::newRow("lone high surrogate") << withTitle(QStringLiteral("Plan") + QChar(0xD83D)) << badChars;
    QTest::newRow("lone low surrogate") << withTitle(QChar(0xDE00) + QStringLiteral("Plan")) << badChars;

    // Allowed characters.
    QTest::newRow("no-break space, scripts and punctuation")
        << withTitle(QStringLiteral("Plan\u00A0\u00B7 \u5E73\u9762\u56F3 \u0394 \u00E9 (1) [2] #3, \u2014 'x' \\ ?"))
        << ok;
    QTest::newRow("emoji as a surrogate pair") << withTitle(QStringLiteral("Plan ") + scalar(0x1F3D7)) << ok;
    QTest::newRow("combining mark") << withTitle(QStringLiteral("Pla\u0301n")) << ok;

    // Length in UTF-8 bytes: " - " and ".pdf" count, 239 passes, 240 fails.
    const QString hundred(100, QLatin1Char('N'));
    QTest::newRow("239 bytes") << Rows{row(hundred, QString(132, QLatin1Char('T')))} << ok;
    QTest::newRow("240 bytes") << Rows{row(hundred, QString(133, QLatin1Char('T')))} << badChars;
    const QString threeByte = QStringLiteral("\u20AC");
    // "A - " + 77 × 3 bytes + ".pdf" = 4 + 231 + 4 = 239.
    QTest::newRow("239 bytes of three-byte characters") << Rows{row(QStringLiteral("A"), threeByte.repeated(77))}
                                                       << ok;
    QTest::newRow("242 bytes in 86 characters") << Rows{row(QStringLiteral("A"), threeByte.repeated(78))}
                                                << badChars;
    // Four-byte scalars (surrogate pairs): "A - " + 58 × 4 + ".pdf" = 240 bytes.
    QTest::newRow("four-byte characters, 240 bytes")
        << Rows{row(QStringLiteral("A"), scalar(0x1F3D7).repeated(58))} << badChars;

    // Duplicates.
    QTest::newRow("case") << Rows{row(QStringLiteral("a-101"), QStringLiteral("Plan")),
                                  row(QStringLiteral("A-101"), QStringLiteral("Section"))}
                          << duplicate;
    QTest::newRow("same number, other title") << Rows{row(QStringLiteral("A-1"), QStringLiteral("Plan")),
                                                      row(QStringLiteral("A-1"), QStringLiteral("Section"))}
                                              << duplicate;
    QTest::newRow("composed vs decomposed number")
        << Rows{row(QStringLiteral("\u00C4-1"), QStringLiteral("Plan")),
                row(QStringLiteral("A\u0308-1"), QStringLiteral("Section"))}
        << duplicate;
    QTest::newRow("full lower-case mapping: dotted capital I")
        << Rows{row(QStringLiteral("\u0130-1"), QStringLiteral("Plan")),
                row(QStringLiteral("i\u0307-1"), QStringLiteral("Section"))}
        << duplicate;
    QTest::newRow("whole names coincide") << Rows{row(QStringLiteral("A - 1"), QStringLiteral("Plan")),
                                                  row(QStringLiteral("A"), QStringLiteral("1 - Plan"))}
                                          << duplicate;
    QTest::newRow("different numbers and names") << Rows{row(QStringLiteral("A-1"), QStringLiteral("Plan")),
                                                         row(QStringLiteral("A-2"), QStringLiteral("Plan"))}
                                                 << ok;
    QTest::newRow("accent is not case") << Rows{row(QStringLiteral("A-1"), QStringLiteral("Plan")),
                                                row(QStringLiteral("\u00C4-1"), QStringLiteral("Plan"))}
                                        << ok;

    // The first failing row decides.
    QTest::newRow("empty title before a duplicate")
        << Rows{row(QStringLiteral("A-1"), QString()), row(QStringLiteral("A-1"), QString())} << missing;
    QTest::newRow("duplicate before bad characters")
        << Rows{row(QStringLiteral("A-1"), QStringLiteral("Plan")), row(QStringLiteral("a-1"), QStringLiteral("Plan")),
                row(QStringLiteral("B/1"), QStringLiteral("Plan"))}
        << duplicate;
    QTest::newRow("bad characters before invalid data")
        << Rows{row(QStringLiteral("A:1"), QStringLiteral("Plan")), row(QVariant(2), QVariant(3))} << badChars;
}

void NamesTest::problem()
{
    QFETCH(Rows, rows);
    QFETCH(QString, message);
    const std::optional<QString> result = DocumentSafety::filenameProblem(rows);
    if (message.isNull())
        QVERIFY2(!result, qPrintable(result.value_or(QString())));
    else
        QCOMPARE(result.value_or(QStringLiteral("<passes>")), message);
}

void NamesTest::rowProblemsNameTheRowAndWhy()
{
    const Rows rows{row(QStringLiteral("A-101"), QStringLiteral("Plan")),
                    row(QStringLiteral("A-102"), QStringLiteral("DETAILS 1/2: SLAB")),
                    row(QStringLiteral("a-101"), QStringLiteral("Other plan")),
                    row(QStringLiteral("A-103"), QStringLiteral("Zero\u200Bwidth")),
                    row(QString(), QStringLiteral("Not read yet")),
                    row(QStringLiteral("A-104"), QString(300, QLatin1Char('x'))),
                    row(QStringLiteral("A-105"), QStringLiteral("Fine"))};
    const QMap<int, QString> problems = DocumentSafety::rowProblems(rows);
    // The first character that cannot stand, as the user typed it.
    QCOMPARE(problems.value(1), QStringLiteral("'/' cannot be used in a file name"));
    // Numbers that differ only in case clash, both ways.
    QCOMPARE(problems.value(0), QStringLiteral("Same number as page 3"));
    QCOMPARE(problems.value(2), QStringLiteral("Same number as page 1"));
    QCOMPARE(problems.value(3), QStringLiteral("An invisible character (U+200B) cannot be used in a file name"));
    QVERIFY(problems.value(5).contains(QStringLiteral("at most 239")));
    // Not read yet is not a problem of the name; a good row has none.
    QVERIFY(!problems.contains(4));
    QVERIFY(!problems.contains(6));
    QCOMPARE(problems.size(), 5);
    // Whenever a row is marked, the whole list is refused, and vice versa.
    QVERIFY(DocumentSafety::filenameProblem(rows));
    QVERIFY(DocumentSafety::rowProblems({rows[6], rows[0]}).isEmpty());
}

QTEST_GUILESS_MAIN(NamesTest)
#include "tst_names.moc"
