// The register's bytes: header, data lines and the quoting rule that keeps
// spreadsheets from running a field as a formula.

#include "DocumentSafety.h"

#include <QtTest>

class RegisterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void quoting_data();
    void quoting();
    void headerBytes();
    void dataLines_data();
    void dataLines();
    void oneSheetRegisterHasTwoLines();
};

void RegisterTest::quoting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");

    QTest::newRow("plain") << QStringLiteral("A-101") << QStringLiteral("\"A-101\"");
    QTest::newRow("empty") << QString() << QStringLiteral("\"\"");
    QTest::newRow("comma stays inside") << QStringLiteral("Plan, level 1") << QStringLiteral("\"Plan, level 1\"");
    QTest::newRow("quotes doubled") << QStringLiteral("Plan \"B\"") << QStringLiteral("\"Plan \"\"B\"\"\"");
    QTest::newRow("equals") << QStringLiteral("=SUM(A1)") << QStringLiteral("\"'=SUM(A1)\"");
    QTest::newRow("plus") << QStringLiteral("+1") << QStringLiteral("\"'+1\"");
    QTest::newRow("minus") << QStringLiteral("-1") << QStringLiteral("\"'-1\"");
    QTest::newRow("at") << QStringLiteral("@cmd") << QStringLiteral("\"'@cmd\"");
    QTest::newRow("apostrophe inside quotes, quote doubled")
        << QStringLiteral("=\"x\"") << QStringLiteral("\"'=\"\"x\"\"\"");
    // Only the first user-perceived character counts.
    QTest::newRow("space then equals") << QStringLiteral(" =1") << QStringLiteral("\" =1\"");
    QTest::newRow("tab then equals") << QStringLiteral("\t=1") << QStringLiteral("\"\t=1\"");
    QTest::newRow("equals with combining acute")
        << QStringLiteral("=\u0301x") << QStringLiteral("\"=\u0301x\"");
    QTest::newRow("full-width equals is another character")
        << QStringLiteral("\uFF1D1") << QStringLiteral("\"\uFF1D1\"");
}

void RegisterTest::quoting()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(DocumentSafety::quoted(text), field);
}

void RegisterTest::headerBytes()
{
    QCOMPARE(DocumentSafety::registerHeader().toUtf8(),
             QByteArray("source_page,sheet_number,sheet_title,filename\r\n"));
}

void RegisterTest::dataLines_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("ordinary") << 3 << QStringLiteral("A-101") << QStringLiteral("Ground floor plan")
                              << QByteArray("3,\"A-101\",\"Ground floor plan\",\"A-101 - Ground floor plan.pdf\"\r\n");
    QTest::newRow("quoted title") << 12 << QStringLiteral("A-2") << QStringLiteral("Plan \"B\"")
                                  << QByteArray("12,\"A-2\",\"Plan \"\"B\"\"\",\"A-2 - Plan \"\"B\"\".pdf\"\r\n");
    QTest::newRow("leading minus number")
        << 1 << QStringLiteral("-1") << QStringLiteral("Plan")
        << QByteArray("1,\"'-1\",\"Plan\",\"'-1 - Plan.pdf\"\r\n");
    QTest::newRow("leading equals title")
        << 2 << QStringLiteral("A1") << QStringLiteral("=HYPERLINK()")
        << QByteArray("2,\"A1\",\"'=HYPERLINK()\",\"A1 - =HYPERLINK().pdf\"\r\n");
    QTest::newRow("space then equals number")
        << 500 << QStringLiteral(" =1") << QStringLiteral("Plan")
        << QByteArray("500,\" =1\",\"Plan\",\" =1 - Plan.pdf\"\r\n");
    QTest::newRow("non-ASCII as UTF-8")
        << 7 << QStringLiteral("\u00C4-1") << QStringLiteral("Gro\u00DFe Halle \u00B7 2")
        << QByteArray("7,\"\xC3\x84-1\",\"Gro\xC3\x9F" "e Halle \xC2\xB7 2\",\"\xC3\x84-1 - Gro\xC3\x9F"
                      "e Halle \xC2\xB7 2.pdf\"\r\n");
}

void RegisterTest::dataLines()
{
    QFETCH(int, page);
    QFETCH(QString, number);
    QFETCH(QString, title);
    QFETCH(QByteArray, line);
    const QString filename = DocumentSafety::sheetFilename(number, title);
    QCOMPARE(DocumentSafety::registerLine(page, number, title, filename).toUtf8(), line);
}

void RegisterTest::oneSheetRegisterHasTwoLines()
{
    const QByteArray text = (DocumentSafety::registerHeader()
                             + DocumentSafety::registerLine(1, QStringLiteral("S1"), QStringLiteral("Site"),
                                                            QStringLiteral("S1 - Site.pdf")))
                                .toUtf8();
    QVERIFY(text.endsWith("\r\n"));
    QVERIFY(!text.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(text.count("\r\n"), 2);
    QCOMPARE(text.count('\n'), 2);
    QCOMPARE(text.count('\r'), 2);
}

QTEST_GUILESS_MAIN(RegisterTest)
#include "tst_register.moc"
