// The command-line tool, run as a separate process on drawing sets from the
// fixture generator: its results, its refusals with the window's messages
// and exit statuses, its output folders (and that failures and signals
// leave none behind).

#include "DocumentSafety.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "TestPaths.h"

#include <QtTest>

#include <csignal>

namespace {

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

QString tool()
{
    return TestPaths::binaryDir() + QStringLiteral("/planfolio-cli");
}

Result run(const QStringList& args)
{
    QProcess process;
    process.start(tool(), args);
    if (!process.waitForFinished(300000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

QJsonArray rect(const QRectF& r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

QJsonObject pair(const QRectF& number, const QRectF& title)
{
    return {{QStringLiteral("number"), rect(number)}, {QStringLiteral("title"), rect(title)}};
}

// The regions a user would set on the sample: one pair per group and one
// for the sheet whose title block sits elsewhere.
QJsonObject sampleRegions()
{
    QJsonObject groups{
        {QStringLiteral("1"), pair(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0))},
        {QStringLiteral("2"), pair(Fixtures::sampleNumberRegion(1), Fixtures::sampleTitleRegion(1))}};
    QJsonObject pages;
    for (const Fixtures::SampleSheet& sheet : Fixtures::sampleSheets()) {
        if (sheet.titleBlockElsewhere)
            pages.insert(QString::number(sheet.page + 1), pair(Fixtures::sampleElsewhereNumberRegion(),
                                                               Fixtures::sampleElsewhereTitleRegion()));
    }
    return {{QStringLiteral("groups"), groups}, {QStringLiteral("pages"), pages}};
}

QJsonObject heavyRegions(const QRectF& number = Fixtures::heavyNumberRegion())
{
    return {{QStringLiteral("groups"),
             QJsonObject{{QStringLiteral("1"), pair(number, Fixtures::heavyTitleRegion())}}}};
}

// Review rows with the sample's true names, the image-only sheet included
// (named by hand).
QJsonObject sampleRows()
{
    QJsonArray rows;
    for (const Fixtures::SampleSheet& sheet : Fixtures::sampleSheets())
        rows.append(QJsonObject{{QStringLiteral("page"), sheet.page + 1},
                                {QStringLiteral("number"), sheet.number},
                                {QStringLiteral("title"), sheet.title}});
    return {{QStringLiteral("rows"), rows}};
}

// What the export writes as register.csv for these names, in this order.
QByteArray expectedRegister(const QList<std::tuple<int, QString, QString>>& rows)
{
    QString text = DocumentSafety::registerHeader();
    for (const auto& [page, number, title] : rows)
        text +=
            DocumentSafety::registerLine(page, number, title, DocumentSafety::sheetFilename(number, title));
    return text.toUtf8();
}

QStringList exportFolders(const QString& parent)
{
    return QDir(parent).entryList({QStringLiteral("Planfolio-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
}

// The hidden folders an export writes into before its folder takes its
// final name.
QStringList stagingFolders(const QString& parent)
{
    return QDir(parent).entryList({QStringLiteral(".Planfolio-*.partial")},
                                  QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
}

const QString notPdf = QStringLiteral("Open failed: This file is not a readable PDF.");
const QString encrypted =
    QStringLiteral("Open failed: Password-protected or encrypted PDFs are not supported.");

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    QString m_sample;
    QString m_heavy;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    QString write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(name));
        return path(name);
    }
    QString writeJson(const QString& name, const QJsonObject& object) const
    {
        return write(name, QJsonDocument(object).toJson());
    }
    QString freshParent(const QString& name) const
    {
        QDir(path(name)).removeRecursively();
        QDir().mkpath(path(name));
        return path(name);
    }

  private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(tool()).isExecutable(), "build the planfolio-cli target first");
        QVERIFY(m_dir.isValid());
        m_sample = write(QStringLiteral("sample.pdf"), Fixtures::sample().bytes);
        m_heavy = write(QStringLiteral("heavy.pdf"), Fixtures::heavy(4).bytes);
        writeJson(QStringLiteral("regions.json"), sampleRegions());
        writeJson(QStringLiteral("rows.json"), sampleRows());
        write(QStringLiteral("notpdf.pdf"), "%PDF-1.7 but nothing of a PDF follows\n");
        Fixtures::Document locked;
        locked.pages.append(Fixtures::Page());
        locked.encryption = Fixtures::Document::UserPassword;
        write(QStringLiteral("encrypted.pdf"), Fixtures::build(locked).bytes);
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::newRow("no command") << QStringList{} << 2 << "Usage: planfolio-cli";
        QTest::newRow("unknown command") << QStringList{"splice"} << 2 << "unknown command 'splice'";
        QTest::newRow("unknown option")
            << QStringList{"inspect", "f.pdf", "--fast"} << 2 << "unknown option --fast";
        QTest::newRow("two files") << QStringList{"inspect", "a.pdf", "b.pdf"} << 2
                                   << "unexpected argument 'b.pdf'";
        QTest::newRow("no page") << QStringList{"words", "f.pdf"} << 2 << "'words' needs --page";
        QTest::newRow("no regions") << QStringList{"read", "f.pdf"} << 2 << "'read' needs --regions";
        QTest::newRow("no parent") << QStringList{"export", "f.pdf", "--rows", "r.json"} << 2
                                   << "needs --into";
        for (const char* list : {"1-", "5-3", "a", "1,,2", "-4"})
            QTest::addRow("pages %s", list)
                << QStringList{"read", "f.pdf", "--regions", "r.json", "--pages", list} << 2
                << "is not a page list";
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        const Result result = run(args);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
    }

    void help()
    {
        for (const char* command : {"inspect", "words", "read", "export", "split", "suggest"}) {
            const Result result = run({QLatin1String(command), QStringLiteral("--help")});
            QCOMPARE(result.exitCode, 0);
            QVERIFY(result.out.startsWith("Usage: planfolio-cli " + QByteArray(command)));
        }
        QVERIFY(run({QStringLiteral("--help")}).out.contains("split"));
    }

    void versionAndManual()
    {
        // The version is the one CMakeLists.txt states.
        const Result version = run({QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.err, QString());
        QCOMPARE(QString::fromUtf8(version.out), "planfolio-cli " + TestPaths::projectVersion() + "\n");

        // The manual page names every command the tool's help lists.
        QFile manual(TestPaths::sourceDir() + "/data/planfolio-cli.1.in");
        QVERIFY(manual.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(manual.readAll());
        const QString help = QString::fromUtf8(run({QStringLiteral("--help")}).out);
        const QString commands = help.section("Commands:\n", 1).section("\n\n", 0, 0);
        int listed = 0;
        for (const QString& line : commands.split('\n')) {
            const QString name = line.section(' ', 0, 0, QString::SectionSkipEmpty);
            if (line.startsWith("  ") && !line.startsWith("   ") && !name.isEmpty()) {
                ++listed;
                QVERIFY2(page.contains("\n.BI " + name + " ") && page.contains(".B planfolio-cli " + name),
                         qPrintable(name));
            }
        }
        QVERIFY(listed >= 5);
    }

    void inspect()
    {
        const Result result = run({QStringLiteral("inspect"), m_sample});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QString());
        const QList<Fixtures::SampleSheet> sheets = Fixtures::sampleSheets();
        QJsonArray groupPages[2];
        QJsonArray noText;
        for (const Fixtures::SampleSheet& sheet : sheets) {
            groupPages[sheet.group].append(sheet.page + 1);
            if (sheet.imageOnly)
                noText.append(sheet.page + 1);
        }
        const QJsonObject json = result.json();
        QCOMPARE(json.value("pages").toInt(), sheets.size());
        const QJsonArray groups = json.value("groups").toArray();
        QCOMPARE(groups.size(), 2);
        QCOMPARE(groups[0].toObject().value("group").toInt(), 1);
        QCOMPARE(groups[0].toObject().value("pages").toArray(), groupPages[0]);
        QCOMPARE(groups[1].toObject().value("pages").toArray(), groupPages[1]);
        QCOMPARE(groups[1].toObject().value("description").toString(),
                 QStringLiteral("Group 2 \u00B7 %1 pages \u00B7 842\u00D71191 pt \u00B7 0\u00B0")
                     .arg(groupPages[1].size()));
        QCOMPARE(json.value("pagesWithoutText").toArray(), noText);
        // The documented key order, not QJsonObject's alphabetical one.
        QVERIFY(result.out.startsWith("{\n  \"pages\": 12,\n  \"groups\": ["));
    }

    // Every command admits its file first, with the open flow's messages.
    void admission_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        for (const char* command : {"inspect", "words", "read", "export", "split", "suggest"}) {
            QTest::addRow("%s not a pdf", command) << command << "notpdf.pdf" << notPdf;
            QTest::addRow("%s encrypted", command) << command << "encrypted.pdf" << encrypted;
            QTest::addRow("%s folder", command) << command << "." << notPdf;
            QTest::addRow("%s missing", command) << command << "missing.pdf"
                                                 << "Open failed: No such file or directory";
        }
    }
    void admission()
    {
        QFETCH(QString, command);
        QFETCH(QString, file);
        QFETCH(QString, message);
        const QString parent = freshParent(QStringLiteral("admission"));
        QStringList args{command, path(file)};
        if (command == QLatin1String("words"))
            args << QStringLiteral("--page") << QStringLiteral("1");
        if (command == QLatin1String("read") || command == QLatin1String("split"))
            args << QStringLiteral("--regions") << path(QStringLiteral("regions.json"));
        if (command == QLatin1String("export"))
            args << QStringLiteral("--rows") << path(QStringLiteral("rows.json"));
        if (command == QLatin1String("export") || command == QLatin1String("split"))
            args << QStringLiteral("--into") << parent;
        const Result result = run(args);
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, QStringLiteral("planfolio-cli: ") + message + QLatin1Char('\n'));
        QVERIFY(result.out.isEmpty());
        QCOMPARE(exportFolders(parent), QStringList());
    }

    void read()
    {
        const Result result = run({QStringLiteral("read"), m_sample, QStringLiteral("--regions"),
                                   path(QStringLiteral("regions.json"))});
        QCOMPARE(result.exitCode, 0);
        QJsonArray expected;
        QJsonArray skipped;
        for (const Fixtures::SampleSheet& sheet : Fixtures::sampleSheets()) {
            if (sheet.imageOnly)
                skipped.append(sheet.page + 1);
            else
                expected.append(QJsonObject{{"page", sheet.page + 1},
                                            {"number", sheet.number},
                                            {"title", sheet.title},
                                            {"warning", false},
                                            {"warningReasons", QJsonArray()}});
        }
        QCOMPARE(result.json().value("rows").toArray(), expected);
        QCOMPARE(result.json().value("skipped").toArray(), skipped);
        QVERIFY(result.out.contains(
            "{\"page\": 1, \"number\": \"A-001\", \"title\": \"COVER SHEET\", \"warning\": false, "
            "\"warningReasons\": []}"));
    }

    void readPages_data()
    {
        QTest::addColumn<QString>("pages");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QList<int>>("read");
        QTest::addColumn<QString>("err");
        QTest::newRow("list") << "12,4-5" << 0 << QList<int>{4, 5, 12} << "";
        QTest::newRow("repeated") << "4,4-4" << 0 << QList<int>{4} << "";
        QTest::newRow("only no-text")
            << "3" << 1 << QList<int>{}
            << "These pages have no extractable text. OCR is not supported. Enter their "
               "numbers and titles directly in the table.";
        QTest::newRow("page 0") << "0-2" << 2 << QList<int>{} << "--pages: page 0 is out of range";
        QTest::newRow("past the end")
            << "11-13" << 2 << QList<int>{} << "--pages: page 13 is out of range; the file has 12 pages";
    }
    void readPages()
    {
        QFETCH(QString, pages);
        QFETCH(int, exitCode);
        QFETCH(QList<int>, read);
        QFETCH(QString, err);
        const Result result = run({QStringLiteral("read"), m_sample, QStringLiteral("--regions"),
                                   path(QStringLiteral("regions.json")), QStringLiteral("--pages"), pages});
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
        QList<int> got;
        for (const QJsonValue& row : result.json().value("rows").toArray())
            got.append(row.toObject().value("page").toInt());
        QCOMPARE(got, read);
    }

    // Regions that the window's read refuses, and regions files that are
    // not what they should be.
    void readRefused_data()
    {
        QTest::addColumn<QByteArray>("regions");
        QTest::addColumn<QString>("err");
        const QJsonObject good = sampleRegions();
        const auto with = [&good](const char* section, const char* key, const QJsonValue& value) {
            QJsonObject copy = good;
            QJsonObject inner = copy.value(section).toObject();
            inner.insert(key, value);
            copy.insert(section, inner);
            return QJsonDocument(copy).toJson();
        };
        const QRectF number = Fixtures::sampleNumberRegion(0);
        QTest::newRow("bad json") << QByteArray("{\"groups\": ") << "regions-x.json: is not valid JSON";
        QTest::newRow("not an object") << QByteArray("[1]") << "regions-x.json: must hold a JSON object";
        QTest::newRow("no regions") << QByteArray("{}")
                                    << "Read failed: Select number and title regions for page 1.";
        QTest::newRow("overlap") << with("groups", "1", pair(number, number.adjusted(5, 5, 5, 5)))
                                 << "Read failed: Regions on page 1 are too small or overlap.";
        QTest::newRow("too small") << with("groups", "2",
                                           pair(QRectF(400, 20, 3, 30), Fixtures::sampleTitleRegion(1)))
                                   << "Read failed: Regions on page 6 are too small or overlap.";
        QTest::newRow("no such group") << with("groups", "3", pair(number, Fixtures::sampleTitleRegion(0)))
                                       << "regions-x.json: group 3 does not exist; the PDF has 2 groups";
        QTest::newRow("no such page") << with("pages", "13", pair(number, Fixtures::sampleTitleRegion(0)))
                                      << "regions-x.json: page 13 does not exist; the PDF has 12 pages";
        QTest::newRow("three numbers")
            << with("groups", "1", QJsonObject{{"number", QJsonArray{1, 2, 3}}})
            << "regions-x.json: groups.1.number must be [x, y, width, height] in points";
        QTest::newRow("misspelt") << with("groups", "1", QJsonObject{{"tilte", rect(number)}})
                                  << "regions-x.json: unknown key \"tilte\" in groups.1";
    }
    void readRefused()
    {
        QFETCH(QByteArray, regions);
        QFETCH(QString, err);
        const QString file = write(QStringLiteral("regions-x.json"), regions);
        const Result result = run({QStringLiteral("read"), m_sample, QStringLiteral("--regions"), file});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith(QStringLiteral("planfolio-cli: ")), qPrintable(result.err));
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
    }

    // Regions for part of a set: the pages with regions are read, the rest
    // are listed with the reason, and the split still refuses.
    void readsPartOfASet()
    {
        QJsonObject regions = sampleRegions();
        QJsonObject groups = regions.value("groups").toObject();
        groups.remove("2");
        regions.insert("groups", groups);
        QJsonObject pages = regions.value("pages").toObject();
        QJsonObject override10 = pages.value("10").toObject();
        override10.remove("title");
        pages.insert("10", override10);
        regions.insert("pages", pages);
        const QString file = write(QStringLiteral("regions-part.json"), QJsonDocument(regions).toJson());
        const Result result = run({QStringLiteral("read"), m_sample, QStringLiteral("--regions"), file});
        QCOMPARE(result.exitCode, 0);
        QSet<int> read, skipped;
        for (const QJsonValue& row : result.json().value("rows").toArray())
            read.insert(row.toObject().value("page").toInt());
        for (const QJsonValue& page : result.json().value("skipped").toArray())
            skipped.insert(page.toInt());
        const QJsonObject reasons = result.json().value("skippedReasons").toObject();
        QVERIFY(!read.isEmpty());
        for (const Fixtures::SampleSheet& sheet : Fixtures::sampleSheets()) {
            const int page = sheet.page + 1;
            QVERIFY2(read.contains(page) != skipped.contains(page), qPrintable(QString::number(page)));
            if (sheet.imageOnly)
                QCOMPARE(reasons.value(QString::number(page)).toString(), QStringLiteral("no text"));
        }
        QCOMPARE(reasons.value("10").toString(), QStringLiteral("no regions"));
        QVERIFY(!read.contains(10));

        const QString parent = path(QStringLiteral("part-out"));
        QDir().mkpath(parent);
        const Result split = run({QStringLiteral("split"), m_sample, QStringLiteral("--regions"), file,
                                  QStringLiteral("--into"), parent});
        QCOMPARE(split.exitCode, 1);
        QCOMPARE(exportFolders(parent), QStringList());
    }

    // The boxes `words` reports are in the space regions use: fed back as
    // regions they read the same words.
    void wordsFeedBack()
    {
        const Fixtures::SampleSheet sheet = Fixtures::sampleSheets().at(3);
        const Result result = run(
            {QStringLiteral("words"), m_sample, QStringLiteral("--page"), QString::number(sheet.page + 1)});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.json().value("page").toInt(), sheet.page + 1);
        QRectF number;
        QRectF title;
        const QStringList titleWords = sheet.title.split(QLatin1Char(' '));
        for (const QJsonValue& value : result.json().value("words").toArray()) {
            const QJsonArray b = value.toObject().value("box").toArray();
            const QRectF box(b[0].toDouble(), b[1].toDouble(), b[2].toDouble(), b[3].toDouble());
            const QString text = value.toObject().value("text").toString();
            if (text == sheet.number && Fixtures::sampleNumberRegion(0).contains(box))
                number = box;
            if (titleWords.contains(text) && Fixtures::sampleTitleRegion(0).contains(box))
                title = title.united(box);
        }
        QVERIFY(!number.isNull() && !title.isNull());
        writeJson(QStringLiteral("fed-back.json"),
                  {{"pages", QJsonObject{{QString::number(sheet.page + 1),
                                          pair(number.adjusted(-0.5, -0.5, 0.5, 0.5),
                                               title.adjusted(-0.5, -0.5, 0.5, 0.5))}}}});
        const Result read = run({QStringLiteral("read"), m_sample, QStringLiteral("--regions"),
                                 path(QStringLiteral("fed-back.json")), QStringLiteral("--pages"),
                                 QString::number(sheet.page + 1)});
        QCOMPARE(read.exitCode, 0);
        const QJsonObject row = read.json().value("rows").toArray().at(0).toObject();
        QCOMPARE(row.value("number").toString(), sheet.number);
        QCOMPARE(row.value("title").toString(), sheet.title);
    }

    // A set with sheet bookmarks, two pages without text: every row gives
    // its bookmark and whether it agrees; the fill names the pages without
    // text from their bookmarks (one has none and stays skipped), and the
    // page whose name is drawn as strokes is reported as outlined text.
    void readWithBookmarks()
    {
        const QRectF number(400, 40, 80, 20);
        const QRectF title(400, 80, 200, 20);
        Fixtures::Document doc;
        doc.pages = QList<Fixtures::Page>(4);
        doc.pages[0].texts = {{QStringLiteral("A-101"), 410, 45, 12},
                              {QStringLiteral("SITE PLAN"), 410, 85, 12}};
        doc.pages[1].texts = {{QStringLiteral("A-102"), 410, 45, 12}, {QStringLiteral("ROOF"), 410, 85, 12}};
        doc.pages[2].drawnTexts = {{QStringLiteral("A-103"), 410, 45, 12},
                                   {QStringLiteral("SECTIONS"), 410, 85, 12}};
        // page 3: blank, no bookmark
        doc.outline = {{QStringLiteral("Sheets"), 0, 0},
                       {QStringLiteral("A-101 - Site Plan"), 0, 1},
                       {QStringLiteral("A-102 - Roof Plan"), 1, 1},
                       {QStringLiteral("A-103 - Sections"), 2, 1}};
        const QString file = write(QStringLiteral("bookmarked.pdf"), Fixtures::build(doc).bytes);
        const QString regions = writeJson(QStringLiteral("bookmarked.json"),
                                          {{"groups", QJsonObject{{"1", pair(number, title)}}}});

        const Result plain = run({QStringLiteral("read"), file, QStringLiteral("--regions"), regions});
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(plain.json().value("rows").toArray(),
                 QJsonArray({QJsonObject{{"page", 1},
                                         {"number", "A-101"},
                                         {"title", "SITE PLAN"},
                                         {"warning", false},
                                         {"warningReasons", QJsonArray()},
                                         {"bookmark", "A-101 - Site Plan"},
                                         {"bookmarkAgrees", true}},
                             QJsonObject{{"page", 2},
                                         {"number", "A-102"},
                                         {"title", "ROOF"},
                                         {"warning", false},
                                         {"warningReasons", QJsonArray()},
                                         {"bookmark", "A-102 - Roof Plan"},
                                         {"bookmarkAgrees", false}}}));
        QCOMPARE(plain.json().value("skipped").toArray(), QJsonArray({3, 4}));
        QCOMPARE(plain.json().value("outlinedText").toArray(), QJsonArray({3}));
        QCOMPARE(plain.json().value("message").toString(),
                 QStringLiteral("1 pages show drawn text in their regions but the PDF carries no text there; "
                                "enter their names in the table."));

        const Result filled = run({QStringLiteral("read"), file, QStringLiteral("--regions"), regions,
                                   QStringLiteral("--fill-from-bookmarks")});
        QCOMPARE(filled.exitCode, 0);
        const QJsonArray rows = filled.json().value("rows").toArray();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(2).toObject(), (QJsonObject{{"page", 3},
                                                     {"number", "A-103"},
                                                     {"title", "Sections"},
                                                     {"warning", false},
                                                     {"warningReasons", QJsonArray()},
                                                     {"bookmark", "A-103 - Sections"},
                                                     {"bookmarkAgrees", true},
                                                     {"filledFromBookmark", true}}));
        QCOMPARE(filled.json().value("skipped").toArray(), QJsonArray({4}));
        QCOMPARE(filled.json().value("filledFromBookmarks").toInt(), 1);

        // Only pages without text and no bookmark for them: refused, and
        // the refusal says the regions show drawn text.
        const Result refused = run({QStringLiteral("read"), file, QStringLiteral("--regions"), regions,
                                    QStringLiteral("--pages"), QStringLiteral("3")});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("1 pages show drawn text in their regions")),
                 qPrintable(refused.err));
    }

    // suggest, then read with what it printed: the true names of every
    // sheet with text, the one whose title block sits elsewhere included.
    void suggestThenRead()
    {
        const Result suggested = run({QStringLiteral("suggest"), m_sample});
        QCOMPARE(suggested.exitCode, 0);
        QVERIFY2(suggested.err.isEmpty(), qPrintable(suggested.err));
        const QJsonObject groups = suggested.json().value("groups").toObject();
        QCOMPARE(groups.keys(), QStringList({"1", "2"}));
        QCOMPARE(groups.value("2").toObject().value("layout").toObject(),
                 QJsonObject({{"mediaBox", QJsonArray{0, 0, 842, 1191}},
                              {"cropBox", QJsonArray{0, 0, 842, 1191}},
                              {"rotation", 0}}));
        const QString regions = write(QStringLiteral("suggested.json"), suggested.out);
        const Result read = run({QStringLiteral("read"), m_sample, QStringLiteral("--regions"), regions});
        QCOMPARE(read.exitCode, 0);
        QJsonArray expected;
        for (const Fixtures::SampleSheet& sheet : Fixtures::sampleSheets()) {
            if (!sheet.imageOnly)
                expected.append(QJsonObject{{"page", sheet.page + 1},
                                            {"number", sheet.number},
                                            {"title", sheet.title},
                                            {"warning", false},
                                            {"warningReasons", QJsonArray()}});
        }
        QCOMPARE(read.json().value("rows").toArray(), expected);
    }

    // A regions file keyed by layouts fits a later set whose groups come in
    // the other order: its pages read their names with the right regions.
    void suggestedRegionsFitAnotherOrder()
    {
        Fixtures::TitleBlockSet strip;
        strip.layout = Fixtures::TitleBlockSet::BottomStrip;
        strip.sheets = Fixtures::architecturalSheets(4);
        Fixtures::TitleBlockSet block;
        block.layout = Fixtures::TitleBlockSet::RightStrip;
        block.sheet = QSizeF(842, 1191);
        block.sheets = Fixtures::prefixedSheets(3);
        // Week 1: the strip sheets first; week 2: the portrait sheets first.
        Fixtures::Document week1, week2;
        week1.pages = Fixtures::titleBlockPages(strip) + Fixtures::titleBlockPages(block);
        week2.pages = Fixtures::titleBlockPages(block) + Fixtures::titleBlockPages(strip);
        const QString one = write(QStringLiteral("week1.pdf"), Fixtures::build(week1).bytes);
        const QString two = write(QStringLiteral("week2.pdf"), Fixtures::build(week2).bytes);
        const Result suggested = run({QStringLiteral("suggest"), one});
        QCOMPARE(suggested.exitCode, 0);
        const QString regions = write(QStringLiteral("weekly.json"), suggested.out);
        const Result read = run({QStringLiteral("read"), two, QStringLiteral("--regions"), regions});
        QCOMPARE(read.exitCode, 0);
        QStringList numbers, expected;
        for (const QJsonValue& row : read.json().value("rows").toArray())
            numbers.append(row.toObject().value("number").toString());
        for (const Fixtures::SheetName& s : block.sheets + strip.sheets)
            expected.append(s.number);
        QCOMPARE(numbers, expected);
    }

    void suggestFindsNothing()
    {
        Fixtures::Document plain;
        plain.pages = {Fixtures::Page{}, Fixtures::Page{}};
        plain.pages[0].texts = {{QStringLiteral("OFFICE"), 100, 300, 10}};
        plain.pages[1].texts = {{QStringLiteral("STORE"), 300, 200, 10}};
        const QString file = write(QStringLiteral("plain.pdf"), Fixtures::build(plain).bytes);
        const Result result = run({QStringLiteral("suggest"), file});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err,
                 QStringLiteral("planfolio-cli: no sheet number and title regions found in any group\n"));
        QVERIFY(result.out.isEmpty());
    }

    void exportSample()
    {
        const QString parent = freshParent(QStringLiteral("export"));
        const Result result = run({QStringLiteral("export"), m_sample, QStringLiteral("--rows"),
                                   path(QStringLiteral("rows.json")), QStringLiteral("--into"), parent});
        QCOMPARE(result.exitCode, 0);
        const QStringList folders = exportFolders(parent);
        QCOMPARE(folders.size(), 1);
        const QString folder = QDir(parent).absoluteFilePath(folders.first());
        QCOMPARE(result.json().value("folder").toString(), folder);
        QCOMPARE(result.json().value("files").toInt(), 12);

        QList<std::tuple<int, QString, QString>> names;
        for (const Fixtures::SampleSheet& sheet : Fixtures::sampleSheets()) {
            names.append({sheet.page + 1, sheet.number, sheet.title});
            const auto pdf = PdfDocument::openFile(folder + QLatin1Char('/') +
                                                   DocumentSafety::sheetFilename(sheet.number, sheet.title));
            QVERIFY(pdf);
            QCOMPARE(pdf->pageCount(), 1);
        }
        QFile csv(folder + QStringLiteral("/register.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), expectedRegister(names));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 13);
    }

    void exportRefused_data()
    {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QString>("err");
        const auto rows = [](const QJsonArray& list) {
            return QJsonDocument(QJsonObject{{"rows", list}}).toJson();
        };
        const auto row = [](const QJsonValue& page, const QJsonValue& number, const QString& title) {
            return QJsonObject{{"page", page}, {"number", number}, {"title", title}};
        };
        QTest::newRow("bad json") << QByteArray("{\"rows\": [") << "rows-x.json: is not valid JSON";
        QTest::newRow("no rows") << QByteArray("{\"row\": []}") << "rows-x.json: needs a \"rows\" array";
        QTest::newRow("row not object") << rows({1}) << "rows-x.json: row 1 is not an object";
        QTest::newRow("empty") << rows({}) << "Read the selected regions first.";
        QTest::newRow("duplicate") << rows({row(1, "A-101", "Plan"), row(2, "a-101", "Other")})
                                   << "Duplicate numbers or filenames. Edit them before exporting.";
        QTest::newRow("number not text") << rows({row(1, 101, "Plan")}) << "Invalid row data.";
        QTest::newRow("slash") << rows({row(1, "A/101", "Plan")})
                               << "Remove invalid or invisible filename characters, or shorten the name.";
        // These pass the names check, so the export starts and removes its folder.
        QTest::newRow("fractional page") << rows({row(1, "A", "Plan"), row(2.5, "B", "Plan")})
                                         << "Export failed: A source page could not be copied.";
        QTest::newRow("page as text") << rows({row(1, "A", "Plan"), row("2", "B", "Plan")})
                                      << "Export failed: A source page could not be copied.";
        QTest::newRow("page past end") << rows({row(1, "A", "Plan"), row(13, "B", "Plan")})
                                       << "Export failed: A source page could not be copied.";
        QTest::newRow("page 0") << rows({row(0, "A", "Plan")})
                                << "Export failed: A source page could not be copied.";
    }
    void exportRefused()
    {
        QFETCH(QByteArray, rows);
        QFETCH(QString, err);
        const QString parent = freshParent(QStringLiteral("refused"));
        const QString file = write(QStringLiteral("rows-x.json"), rows);
        const Result result = run({QStringLiteral("export"), m_sample, QStringLiteral("--rows"), file,
                                   QStringLiteral("--into"), parent});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith(QStringLiteral("planfolio-cli: ")), qPrintable(result.err));
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
        QCOMPARE(exportFolders(parent), QStringList());
    }

    void exportIntoNoFolder()
    {
        const Result result = run({QStringLiteral("export"), m_sample, QStringLiteral("--rows"),
                                   path(QStringLiteral("rows.json")), QStringLiteral("--into"), m_sample});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.err.contains(QStringLiteral("is not an existing folder")));
    }

    void split()
    {
        const QString regions = writeJson(QStringLiteral("heavy-regions.json"), heavyRegions());
        const QString parent = freshParent(QStringLiteral("split"));
        const Result result = run({QStringLiteral("split"), m_heavy, QStringLiteral("--regions"), regions,
                                   QStringLiteral("--into"), parent});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.json().value("files").toInt(), 4);
        const QString folder = result.json().value("folder").toString();
        QList<std::tuple<int, QString, QString>> names;
        for (int i = 0; i < 4; ++i) {
            names.append({i + 1, Fixtures::heavyNumber(i), Fixtures::heavyTitle(i)});
            QVERIFY(QFile::exists(
                folder + QLatin1Char('/') +
                DocumentSafety::sheetFilename(Fixtures::heavyNumber(i), Fixtures::heavyTitle(i))));
        }
        QFile csv(folder + QStringLiteral("/register.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), expectedRegister(names));
    }

    // A number region that starts just past the centre of the number's
    // first character reads the rest of the number, and the widened region
    // takes the character in: a warning, refused unless accepted.
    void splitWarnings()
    {
        const Fixtures::Built heavy = Fixtures::heavy(1);
        const QRectF box = heavy.boxOf(0, Fixtures::heavyNumber(0));
        QVERIFY(!box.isNull());
        const double firstChar = box.width() * Fixtures::textWidth(QStringLiteral("A"), 10) /
                                 Fixtures::textWidth(Fixtures::heavyNumber(0), 10);
        const QRectF cut = box.adjusted(firstChar * 0.5 + 1, -4, 4, 4);
        const QString regions = writeJson(QStringLiteral("cut-regions.json"), heavyRegions(cut));
        const QStringList args{QStringLiteral("split"),     m_heavy,
                               QStringLiteral("--regions"), regions,
                               QStringLiteral("--into"),    freshParent(QStringLiteral("warned"))};

        const Result refused = run(args);
        QCOMPARE(refused.exitCode, 1);
        QCOMPARE(refused.err, QStringLiteral("planfolio-cli: pages need an edge/text check: 1, 2, 3, 4\n"));
        QCOMPARE(exportFolders(path(QStringLiteral("warned"))), QStringList());

        const Result accepted = run(args + QStringList{QStringLiteral("--accept-warnings")});
        QCOMPARE(accepted.exitCode, 0);
        const QString name = Fixtures::heavyNumber(0).mid(1);
        QVERIFY(QFile::exists(accepted.json().value("folder").toString() + QLatin1Char('/') +
                              DocumentSafety::sheetFilename(name, Fixtures::heavyTitle(0))));
    }

    void splitNoText()
    {
        const QString parent = freshParent(QStringLiteral("notext"));
        const Result result = run({QStringLiteral("split"), m_sample, QStringLiteral("--regions"),
                                   path(QStringLiteral("regions.json")), QStringLiteral("--into"), parent,
                                   QStringLiteral("--accept-warnings")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, QStringLiteral("planfolio-cli: pages have no text and need names: 3\n"));
        QCOMPARE(exportFolders(parent), QStringList());
    }

    // A signal during an export cancels it through the engine, which
    // removes the folder. 600 rows of two heavy sheets keep it busy long
    // after the folder appears.
    void signalCancelsExport_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("SIGINT") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
    }
    void signalCancelsExport()
    {
        QFETCH(int, signal);
        QFETCH(int, exitCode);
        QJsonArray rows;
        for (int i = 0; i < 600; ++i)
            rows.append(QJsonObject{{"page", i % 4 + 1}, {"number", QString::number(i)}, {"title", "Sheet"}});
        const QString rowsFile = writeJson(QStringLiteral("many-rows.json"), {{"rows", rows}});
        const QString parent = freshParent(QStringLiteral("signal"));

        QProcess process;
        process.start(tool(), {QStringLiteral("export"), m_heavy, QStringLiteral("--rows"), rowsFile,
                               QStringLiteral("--into"), parent});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!stagingFolders(parent).isEmpty(), 120000);
        QCOMPARE(process.state(), QProcess::Running);
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                 QStringLiteral("planfolio-cli: Export cancelled; incomplete output removed.\n"));
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QCOMPARE(exportFolders(parent), QStringList());
        QCOMPARE(stagingFolders(parent), QStringList());
    }

    // A process killed outright in the middle of an export cannot clean
    // up; what it leaves must not look like a finished export: at most a
    // hidden staging folder, never a "Planfolio-" one. Enough rows that
    // even a machine with many cores is still writing when the kill comes.
    void killedExportLeavesNoFinishedFolder()
    {
        QJsonArray rows;
        for (int i = 0; i < 3000; ++i)
            rows.append(QJsonObject{{"page", i % 4 + 1}, {"number", QString::number(i)}, {"title", "Sheet"}});
        const QString rowsFile = writeJson(QStringLiteral("killed-rows.json"), {{"rows", rows}});
        const QString parent = freshParent(QStringLiteral("killed"));

        QProcess process;
        process.start(tool(), {QStringLiteral("export"), m_heavy, QStringLiteral("--rows"), rowsFile,
                               QStringLiteral("--into"), parent});
        QVERIFY(process.waitForStarted());
        // Killed once a good part of the sheets is on disk.
        const auto sheetsWritten = [&] {
            const QStringList staging = stagingFolders(parent);
            return staging.isEmpty() ? 0 : int(QDir(parent + QLatin1Char('/') + staging.first()).count());
        };
        QTRY_VERIFY_WITH_TIMEOUT(sheetsWritten() >= 50, 120000);
        QCOMPARE(process.state(), QProcess::Running);
        QCOMPARE(exportFolders(parent), QStringList());
        process.kill(); // SIGKILL
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(exportFolders(parent), QStringList());
        QCOMPARE(stagingFolders(parent).size(), 1);
    }

    // Messages that quote the user's input quote at most 80 characters of
    // it, then "…": a key of 10 MB in a regions file gives a short line.
    void boundedEchoes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("regions"); // written to a file named by "REGIONS" in args
        QTest::addColumn<QString>("quoted");     // what the message shows of the input
        const QString huge = QString(10 * 1024 * 1024, QLatin1Char('k'));
        const QString cut = QString(80, QLatin1Char('k')) + QChar(0x2026);
        const QStringList split{"split", "f.pdf", "--regions", "REGIONS", "--into", "."};
        const auto json = [](const QJsonObject& object) { return QJsonDocument(object).toJson(); };
        QTest::newRow("10 MB key at the top of a regions file")
            << split << json({{huge, QJsonObject()}}) << "unknown key \"" + cut + "\"";
        QTest::newRow("10 MB group key") << split << json({{"groups", QJsonObject{{huge, QJsonObject()}}}})
                                         << "\"" + cut + "\" in \"groups\"";
        QTest::newRow("10 MB key inside a page entry")
            << split << json({{"pages", QJsonObject{{"1", QJsonObject{{huge, 1}}}}}})
            << "unknown key \"" + cut + "\" in pages.1";
        // Arguments are bounded by the system, not by the tool: 5,000
        // characters stand for any long one. A character outside the basic
        // plane counts once and is never split.
        const QString longArg = QString(5000, QLatin1Char('x'));
        const QString xs = QString(80, QLatin1Char('x')) + QChar(0x2026);
        QTest::newRow("unknown command") << QStringList{longArg} << QByteArray() << "'" + xs + "'";
        QTest::newRow("unknown option")
            << QStringList{"inspect", "f.pdf", "--" + longArg} << QByteArray()
            << "unknown option --" + QString(78, QLatin1Char('x')) + QChar(0x2026) + " for 'inspect'";
        QTest::newRow("second file") << QStringList{"inspect", "f.pdf", longArg} << QByteArray()
                                     << "'" + xs + "'";
        QTest::newRow("page list") << QStringList{"read", "f.pdf", "--regions", "r.json", "--pages", longArg}
                                   << QByteArray() << "--pages: '" + xs + "' is not a page list";
        const QString wide = QString::fromUcs4(U"\U0001F4D0").repeated(100);
        QTest::newRow("page list of wide characters")
            << QStringList{"read", "f.pdf", "--regions", "r.json", "--pages", wide} << QByteArray()
            << "--pages: '" + wide.left(160) + QChar(0x2026) + "'";
        QTest::newRow("parent folder")
            << QStringList{"export", "f.pdf", "--rows", "rows.json", "--into", longArg} << QByteArray()
            << "--into: '" + xs + "' is not an existing folder";
    }
    void boundedEchoes()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, regions);
        QFETCH(QString, quoted);
        const QString regionsFile = write(QStringLiteral("echo-regions.json"), regions);
        args.replaceInStrings(QStringLiteral("REGIONS"), regionsFile);
        args.replaceInStrings(QStringLiteral("rows.json"), path(QStringLiteral("rows.json")));
        args.replaceInStrings(QStringLiteral("f.pdf"), m_sample);
        const Result result = run(args);
        QVERIFY(result.exitCode == 1 || result.exitCode == 2);
        QVERIFY2(result.err.contains(quoted), qPrintable(result.err.left(400)));
        QVERIFY2(result.err.toUtf8().size() < 1024, qPrintable(result.err.left(400)));
        QVERIFY(result.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
