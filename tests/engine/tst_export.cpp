// The export pipeline: what a finished export folder holds, that every
// failure and cancellation leaves nothing behind, and what a single-sheet
// file carries over from its source page.

#include "DocumentSafety.h"
#include "ExportFiles.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "Workflow.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A document whose page i shows "Source page <i+1>".
Fixtures::Built sourcePages(int count)
{
    Fixtures::Document spec;
    for (int i = 0; i < count; ++i) {
        Fixtures::Page page;
        page.texts = {{QStringLiteral("Source page %1").arg(i + 1), 100, 100, 12}};
        spec.pages.append(page);
    }
    return Fixtures::build(spec);
}

ReviewRow row(const QVariant& page, const QString& number, const QString& title)
{
    return ReviewRow{{QStringLiteral("page"), page},
                     {QStringLiteral("number"), number},
                     {QStringLiteral("title"), title},
                     {QStringLiteral("state"), ReviewState::readReview}};
}

// Rows 1 … count, each naming its own page.
QList<ReviewRow> plainRows(int count)
{
    QList<ReviewRow> rows;
    for (int i = 1; i <= count; ++i)
        rows.append(row(i, QStringLiteral("A-%1").arg(100 + i), QStringLiteral("Plan")));
    return rows;
}

// Every entry of a folder, hidden ones included.
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return Run{process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// The image XObjects of a file, counted from qpdf's JSON view of every
// object.
int imageCount(const QByteArray& json)
{
    int images = 0;
    const QJsonArray parts = QJsonDocument::fromJson(json).object().value(QStringLiteral("qpdf")).toArray();
    const QJsonObject objects = parts.at(1).toObject();
    for (const QJsonValue& object : objects) {
        const QJsonObject dict = object.toObject()
                                     .value(QStringLiteral("stream"))
                                     .toObject()
                                     .value(QStringLiteral("dict"))
                                     .toObject();
        if (dict.value(QStringLiteral("/Subtype")).toString() == QStringLiteral("/Image"))
            ++images;
    }
    return images;
}

enum class Fault {
    CancelledBefore,
    CancelBeforeSixth,
    CancelBeforeRegister,
    NoRows,
    DuplicateNumbers,
    PageZero,
    PagePastEnd,
    PageAsText,
    PageAsDouble,
    PageMissing,
    WriteFailsAtThird,
    NameExists,
    EscapeToParent,
    EscapeToSubfolder,
    DotDotName,
    RegisterFolderGone,
};

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Fixtures::Document)

class TestExport : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void writesEverySheetAndTheRegister();
    void keepsBoxesAndRotation_data();
    void keepsBoxesAndRotation();
    void failureLeavesNothing_data();
    void failureLeavesNothing();
    void reportsFailedRemoval();
    void passesOnFileSystemErrors();
    void sheetsStandAlone();
    void sameBytesAtAnyThreadCount();
    void cancelLeavesNothingAtTwoThreads();
    void firstFailureInRowOrderWins();
};

void TestExport::writesEverySheetAndTheRegister()
{
    const Fixtures::Built built = sourcePages(5);
    const QByteArray original(built.bytes.constData(), built.bytes.size());
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    const QList<ReviewRow> rows{
        row(3, QStringLiteral("A-101"), QStringLiteral("Ground floor plan")),
        row(1, QStringLiteral("-1"), QStringLiteral("Plan \"B\", north")),
        row(5, QStringLiteral("A-103"), QStringLiteral("=Section")),
        row(qlonglong(3), QStringLiteral("A-104"), QStringLiteral("Ground floor plan"))};
    QTemporaryDir parent;
    WorkCancellation cancel;
    QList<QPair<int, int>> calls;
    const fs::path folder = DocumentSafety::exportSheets(rows, *document, ExportFiles::toPath(parent.path()),
                                                         cancel, [&](int done, int total) {
                                                             calls.append({done, total});
                                                         });

    QCOMPARE(ExportFiles::fromPath(folder.parent_path()), parent.path());
    QVERIFY(QRegularExpression(QStringLiteral("^Planfolio-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"))
                .match(ExportFiles::fromPath(folder.filename()))
                .hasMatch());
    QCOMPARE(entries(parent.path()).size(), 1);
    QCOMPARE(calls, (QList<QPair<int, int>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));

    const QString dir = ExportFiles::fromPath(folder);
    QCOMPARE(
        entries(dir),
        (QStringList{QStringLiteral("-1 - Plan \"B\", north.pdf"),
                     QStringLiteral("A-101 - Ground floor plan.pdf"), QStringLiteral("A-103 - =Section.pdf"),
                     QStringLiteral("A-104 - Ground floor plan.pdf"), QStringLiteral("register.csv")}));
    QFile csv(dir + QStringLiteral("/register.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll(),
             QByteArray("source_page,sheet_number,sheet_title,filename\r\n"
                        "3,\"A-101\",\"Ground floor plan\",\"A-101 - Ground floor plan.pdf\"\r\n"
                        "1,\"'-1\",\"Plan \"\"B\"\", north\",\"'-1 - Plan \"\"B\"\", north.pdf\"\r\n"
                        "5,\"A-103\",\"'=Section\",\"A-103 - =Section.pdf\"\r\n"
                        "3,\"A-104\",\"Ground floor plan\",\"A-104 - Ground floor plan.pdf\"\r\n"));

    // Each file is one page, a copy of the row's own source page.
    const QList<QPair<QString, int>> files{{QStringLiteral("A-101 - Ground floor plan.pdf"), 3},
                                           {QStringLiteral("-1 - Plan \"B\", north.pdf"), 1},
                                           {QStringLiteral("A-103 - =Section.pdf"), 5},
                                           {QStringLiteral("A-104 - Ground floor plan.pdf"), 3}};
    for (const auto& [name, page] : files) {
        const std::unique_ptr<PdfDocument> sheet = PdfDocument::openFile(dir + QLatin1Char('/') + name);
        QVERIFY2(sheet, qPrintable(name));
        QCOMPARE(sheet->pageCount(), 1);
        QCOMPARE(sheet->page(0)->text().simplified(), QStringLiteral("Source page %1").arg(page));
    }
    QCOMPARE(document->bytes(), original);
    QCOMPARE(built.bytes, original);
}

void TestExport::keepsBoxesAndRotation_data()
{
    QTest::addColumn<Fixtures::Document>("spec");
    Fixtures::Document own;
    for (const std::optional<int> rotate : {std::optional<int>(), std::optional(90), std::optional(-90),
                                            std::optional(450), std::optional(180)}) {
        Fixtures::Page page;
        page.rotate = rotate;
        page.texts = {{QStringLiteral("Sheet"), 120, 120, 10}};
        own.pages.append(page);
    }
    own.pages[1].cropBox = QRectF(50, 60, 300, 400);
    own.pages[2].mediaBox = QRectF(-100, -200, 700, 900);
    own.pages[3].mediaBox = QRectF(0, 0, 2384, 1684);
    own.pages[4].cropBox = QRectF(-50, -50, 2000, 2000); // larger than the media box
    QTest::newRow("boxes and rotation on the pages") << own;

    Fixtures::Document inherited;
    inherited.inheritedMediaBox = QRectF(0, 0, 842, 1191);
    inherited.inheritedCropBox = QRectF(20, 30, 800, 1100);
    inherited.inheritedRotate = 270;
    for (int i = 0; i < 3; ++i) {
        Fixtures::Page page;
        page.mediaBox.reset();
        page.texts = {{QStringLiteral("Sheet %1").arg(i), 120, 120, 10}};
        inherited.pages.append(page);
    }
    inherited.pages[2].rotate = 0;
    QTest::newRow("boxes and rotation inherited") << inherited;
}

void TestExport::keepsBoxesAndRotation()
{
    QFETCH(Fixtures::Document, spec);
    const Fixtures::Built built = Fixtures::build(spec);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    QTemporaryDir parent;
    WorkCancellation cancel;
    const fs::path folder = DocumentSafety::exportSheets(plainRows(document->pageCount()), *document,
                                                         ExportFiles::toPath(parent.path()), cancel);
    for (int i = 0; i < document->pageCount(); ++i) {
        const std::unique_ptr<PdfDocument> sheet = PdfDocument::openFile(
            ExportFiles::fromPath(folder) + QStringLiteral("/A-%1 - Plan.pdf").arg(101 + i));
        QVERIFY(sheet);
        const PdfPage source = *document->page(i);
        const PdfPage copy = *sheet->page(0);
        QCOMPARE(copy.mediaBox(), source.mediaBox());
        QCOMPARE(copy.cropBox(), source.cropBox());
        QCOMPARE(copy.rotation(), source.rotation());
    }
}

void TestExport::failureLeavesNothing_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("code"); // 0: cancellation; -1: the file system's error
    QTest::addColumn<QString>("message");
    const QString copy = QStringLiteral("A source page could not be copied.");
    const QString write = QStringLiteral("An output PDF could not be written or verified.");
    QTest::newRow("cancelled before the call") << Fault::CancelledBefore << 0 << QString();
    QTest::newRow("cancelled while the fifth of ten is written")
        << Fault::CancelBeforeSixth << 0 << QString();
    QTest::newRow("cancelled after the last sheet") << Fault::CancelBeforeRegister << 0 << QString();
    QTest::newRow("no rows") << Fault::NoRows << 1 << QStringLiteral("Read the selected regions first.");
    QTest::newRow("numbers differing in case")
        << Fault::DuplicateNumbers << 1
        << QStringLiteral("Duplicate numbers or filenames. Edit them before exporting.");
    QTest::newRow("page 0") << Fault::PageZero << 2 << copy;
    QTest::newRow("page past the end") << Fault::PagePastEnd << 2 << copy;
    QTest::newRow("page as text") << Fault::PageAsText << 2 << copy;
    QTest::newRow("page as a double") << Fault::PageAsDouble << 2 << copy;
    QTest::newRow("page missing") << Fault::PageMissing << 2 << copy;
    QTest::newRow("write fails at the third sheet") << Fault::WriteFailsAtThird << 3 << write;
    QTest::newRow("name already exists") << Fault::NameExists << 3 << write;
    QTest::newRow("path leads to the parent") << Fault::EscapeToParent << 3 << write;
    QTest::newRow("path leads into a subfolder") << Fault::EscapeToSubfolder << 3 << write;
    QTest::newRow("name is ..") << Fault::DotDotName << 3 << write;
    QTest::newRow("register cannot be written")
        << Fault::RegisterFolderGone << -1 << QString::fromStdString(std::generic_category().message(ENOENT));
}

void TestExport::failureLeavesNothing()
{
    QFETCH(Fault, fault);
    QFETCH(int, code);
    QFETCH(QString, message);
    const Fixtures::Built built = sourcePages(10);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    QTemporaryDir parent;
    WorkCancellation cancel;
    QList<ReviewRow> rows = plainRows(10);
    ExportHooks hooks;
    Progress progress;
    int lastDone = 0;
    bool collisionKept = false;

    switch (fault) {
    case Fault::CancelledBefore:
        cancel.cancel();
        break;
    case Fault::CancelBeforeSixth:
    case Fault::CancelBeforeRegister:
        progress = [&, at = fault == Fault::CancelBeforeSixth ? 5 : 10](int done, int) {
            lastDone = done;
            if (done == at)
                cancel.cancel();
        };
        break;
    case Fault::NoRows:
        rows.clear();
        break;
    case Fault::DuplicateNumbers:
        rows[4][QStringLiteral("number")] = QStringLiteral("a-101");
        break;
    case Fault::PageZero:
        rows[2][QStringLiteral("page")] = 0;
        break;
    case Fault::PagePastEnd:
        rows[2][QStringLiteral("page")] = 11;
        break;
    case Fault::PageAsText:
        rows[2][QStringLiteral("page")] = QStringLiteral("3");
        break;
    case Fault::PageAsDouble:
        rows[2][QStringLiteral("page")] = 3.0;
        break;
    case Fault::PageMissing:
        rows[2].remove(QStringLiteral("page"));
        break;
    case Fault::WriteFailsAtThird:
        hooks.failWrite = [](int i) { return i == 2; };
        break;
    case Fault::NameExists:
        hooks.beforeWrite = [](const fs::path& folder, int i) {
            if (i != 3)
                return;
            QFile taken(ExportFiles::fromPath(folder) + QStringLiteral("/A-104 - Plan.pdf"));
            QVERIFY(taken.open(QIODevice::WriteOnly));
            taken.write("already here");
        };
        hooks.removeFolder = [&](const fs::path& folder) {
            QFile taken(ExportFiles::fromPath(folder) + QStringLiteral("/A-104 - Plan.pdf"));
            collisionKept = taken.open(QIODevice::ReadOnly) && taken.readAll() == "already here";
            std::error_code ec;
            fs::remove_all(folder, ec);
            return ec;
        };
        break;
    case Fault::EscapeToParent:
        hooks.sheetPath = [](const fs::path& folder, const QString& name) {
            return folder.parent_path() / ExportFiles::toPath(name);
        };
        break;
    case Fault::EscapeToSubfolder:
        hooks.sheetPath = [](const fs::path& folder, const QString& name) {
            return folder / "sub" / ExportFiles::toPath(name);
        };
        break;
    case Fault::DotDotName:
        hooks.sheetPath = [](const fs::path& folder, const QString&) { return folder / ".."; };
        break;
    case Fault::RegisterFolderGone:
        hooks.beforeWrite = [](const fs::path& folder, int i) {
            if (i == 10)
                fs::remove_all(folder);
        };
        break;
    }

    const fs::path parentPath = ExportFiles::toPath(parent.path());
    auto call = [&] {
        DocumentSafety::exportSheetsWithHooks(rows, *document, parentPath, cancel, progress, hooks);
    };
    if (code == 0) {
        QVERIFY_THROWS_EXCEPTION(CancellationError, call());
    } else {
        try {
            call();
            QFAIL("the export succeeded");
        } catch (const FileSystemError& e) {
            QCOMPARE(code, -1);
            QCOMPARE(e.message(), message);
        } catch (const PlanfolioError& e) {
            QCOMPARE(e.code(), code);
            QCOMPARE(e.message(), message);
        }
    }
    QCOMPARE(entries(parent.path()), QStringList());
    if (fault == Fault::CancelBeforeSixth)
        QCOMPARE(lastDone, 5);
    if (fault == Fault::NameExists)
        QVERIFY(collisionKept);
    QCOMPARE(document->bytes(), built.bytes);
}

void TestExport::reportsFailedRemoval()
{
    const Fixtures::Built built = sourcePages(3);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    QTemporaryDir parent;
    for (const bool cancelled : {false, true}) {
        WorkCancellation cancel;
        ExportHooks hooks;
        fs::path seen;
        hooks.threads = 1; // `seen` is written by the sheet's thread
        hooks.beforeWrite = [&](const fs::path& folder, int) { seen = folder; };
        hooks.failWrite = [&](int i) { return !cancelled && i == 1; };
        hooks.removeFolder = [](const fs::path&) {
            return std::make_error_code(std::errc::permission_denied);
        };
        const Progress progress = [&](int, int) {
            if (cancelled)
                cancel.cancel();
        };
        try {
            DocumentSafety::exportSheetsWithHooks(plainRows(3), *document, ExportFiles::toPath(parent.path()),
                                                  cancel, progress, hooks);
            QFAIL("the export succeeded");
        } catch (const PlanfolioError& e) {
            QCOMPARE(e.code(), 4);
            QCOMPARE(
                e.message(),
                QStringLiteral("Export failed and incomplete files could not be removed at ") +
                    ExportFiles::fromPath(seen) + QStringLiteral(": ") +
                    QString::fromStdString(std::make_error_code(std::errc::permission_denied).message()));
        }
        // The folder stays where the message says.
        QVERIFY(QDir(ExportFiles::fromPath(seen)).exists());
        QVERIFY(QDir(ExportFiles::fromPath(seen)).removeRecursively());
    }
}

void TestExport::passesOnFileSystemErrors()
{
    const Fixtures::Built built = sourcePages(2);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    QTemporaryDir parent;
    QFile file(parent.filePath(QStringLiteral("a file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QList<QPair<QString, int>> cases{{parent.filePath(QStringLiteral("missing/deeper")), ENOENT},
                                           {parent.filePath(QStringLiteral("a file")), ENOTDIR}};
    for (const auto& [where, error] : cases) {
        WorkCancellation cancel;
        try {
            DocumentSafety::exportSheets(plainRows(2), *document, ExportFiles::toPath(where), cancel);
            QFAIL("the export succeeded");
        } catch (const FileSystemError& e) {
            QCOMPARE(e.errorCode().value(), error);
            QCOMPARE(e.message(), QString::fromStdString(std::generic_category().message(error)));
        }
        QCOMPARE(entries(parent.path()), QStringList{QStringLiteral("a file")});
    }
}

void TestExport::sheetsStandAlone()
{
    // Three sheets that link to each other in every way a link can name a
    // page, that share one inherited resource dictionary listing every
    // sheet's image, and that draw into a layer hidden by default.
    Fixtures::Document spec;
    spec.sharedInheritedResources = true;
    spec.hiddenLayer = true;
    for (int i = 0; i < 3; ++i) {
        Fixtures::Page page;
        page.image = true;
        page.usesHiddenLayer = true;
        page.texts = {{QStringLiteral("Sheet %1").arg(i + 1), 60, 60, 12}};
        page.links = {{QRectF(60, 700, 40, 20), (i + 1) % 3, Fixtures::Link::DestArray},
                      {QRectF(110, 700, 40, 20), (i + 2) % 3, Fixtures::Link::NamedDest},
                      {QRectF(160, 700, 40, 20), (i + 1) % 3, Fixtures::Link::GoToAction},
                      {QRectF(210, 700, 40, 20), i, Fixtures::Link::Uri}};
        spec.pages.append(page);
    }
    const Fixtures::Built built = Fixtures::build(spec);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    QTemporaryDir parent;
    WorkCancellation cancel;
    const fs::path folder =
        DocumentSafety::exportSheets(plainRows(3), *document, ExportFiles::toPath(parent.path()), cancel);

    for (int i = 0; i < 3; ++i) {
        const QString file = ExportFiles::fromPath(folder) + QStringLiteral("/A-%1 - Plan.pdf").arg(101 + i);
        const Run json = runTool(QStringLiteral("qpdf"), {QStringLiteral("--json=2"), file});
        QCOMPARE(json.exitCode, 0);
        QCOMPARE(imageCount(json.out), 1);
        QVERIFY(!json.out.contains("\"/Dest\"") && !json.out.contains("/GoTo"));
        QVERIFY(json.out.contains("\"/OCProperties\"") && json.out.contains("\"/OFF\""));

        const std::unique_ptr<PdfDocument> sheet = PdfDocument::openFile(file);
        QVERIFY(sheet);
        QCOMPARE(sheet->page(0)->annotationSubtypes(),
                 QList<QString>{QStringLiteral("Link")}); // the web link
        // The sheet looks exactly like its source page: its own image, the
        // hidden layer still hidden.
        const QImage expected = document->page(i)->render(24);
        QVERIFY(!expected.isNull());
        QCOMPARE(sheet->page(0)->render(24), expected);

        const Run check = runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), file});
        QCOMPARE(check.exitCode, 0);
        const Run render = runTool(QStringLiteral("pdftoppm"),
                                   {QStringLiteral("-r"), QStringLiteral("10"), QStringLiteral("-png"), file,
                                    parent.filePath(QStringLiteral("render"))});
        QCOMPARE(render.exitCode, 0);
        QCOMPARE(render.err, QByteArray());
        const Run text = runTool(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
        QCOMPARE(text.err, QByteArray());
        QCOMPARE(text.out.simplified(), QByteArray("Sheet ") + QByteArray::number(i + 1));
    }
}

namespace {

// Every file of an export folder and its bytes, by name.
QMap<QString, QByteArray> folderBytes(const fs::path& folder)
{
    QMap<QString, QByteArray> files;
    const QString dir = ExportFiles::fromPath(folder);
    for (const QString& name : entries(dir)) {
        QFile file(dir + QLatin1Char('/') + name);
        if (file.open(QIODevice::ReadOnly))
            files.insert(name, file.readAll());
    }
    return files;
}

} // namespace

// However many threads write the sheets, the folder holds the same files
// with the same bytes and the register in row order: pages that carry
// images, shared inherited resources, links and a hidden layer, some
// exported twice and out of order.
void TestExport::sameBytesAtAnyThreadCount()
{
    Fixtures::Document spec;
    spec.sharedInheritedResources = true;
    spec.hiddenLayer = true;
    for (int i = 0; i < 6; ++i) {
        Fixtures::Page page;
        page.image = i % 2 == 0;
        page.usesHiddenLayer = i == 3;
        page.lineSegments = 50 * i;
        page.rotate = i == 4 ? std::optional<int>(90) : std::nullopt;
        page.texts = {{QStringLiteral("Sheet %1").arg(i + 1), 60, 60, 12}};
        page.links = {{QRectF(60, 700, 40, 20), (i + 1) % 6, Fixtures::Link::DestArray},
                      {QRectF(210, 700, 40, 20), i, Fixtures::Link::Uri}};
        spec.pages.append(page);
    }
    const Fixtures::Built built = Fixtures::build(spec);
    QList<ReviewRow> rows;
    const QList<int> pages{5, 1, 2, 2, 6, 3, 4, 1, 6, 5, 3, 4, 2};
    for (int i = 0; i < pages.size(); ++i)
        rows.append(row(pages.at(i), QStringLiteral("S-%1").arg(i + 1), QStringLiteral("Sheet")));

    QMap<QString, QByteArray> first;
    for (const int threads : {1, 2, 4}) {
        // A fresh document each time: what one export did to its document
        // in memory must not decide the next one's bytes.
        const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
        QVERIFY(document);
        QTemporaryDir parent;
        WorkCancellation cancel;
        ExportHooks hooks;
        hooks.threads = threads;
        std::mutex lock;
        QList<QPair<int, int>> calls;
        const fs::path folder = DocumentSafety::exportSheetsWithHooks(
            rows, *document, ExportFiles::toPath(parent.path()), cancel,
            [&](int done, int total) {
                const std::lock_guard guard(lock);
                calls.append({done, total});
            },
            hooks);
        QList<QPair<int, int>> expectedCalls;
        for (int i = 1; i <= rows.size(); ++i)
            expectedCalls.append({i, int(rows.size())});
        QCOMPARE(calls, expectedCalls);
        QCOMPARE(entries(parent.path()), QStringList{ExportFiles::fromPath(folder.filename())});
        const QMap<QString, QByteArray> files = folderBytes(folder);
        QCOMPARE(files.size(), rows.size() + 1);
        if (threads == 1) {
            first = files;
            continue;
        }
        QCOMPARE(files.keys(), first.keys());
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY2(it.value() == first.value(it.key()),
                     qPrintable(QStringLiteral("%1 differs at %2 threads").arg(it.key()).arg(threads)));
    }
}

// A stop in the middle of an export on two threads: no sheet is counted
// after it, nothing is left in the parent, and at no moment did a folder
// with the final name exist while sheets were still being written.
void TestExport::cancelLeavesNothingAtTwoThreads()
{
    const Fixtures::Built built = sourcePages(4);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    QList<ReviewRow> rows;
    for (int i = 0; i < 40; ++i)
        rows.append(row(i % 4 + 1, QStringLiteral("N-%1").arg(i), QStringLiteral("Plan")));
    QTemporaryDir parent;
    WorkCancellation cancel;
    ExportHooks hooks;
    hooks.threads = 2;
    std::mutex lock;
    QSet<QString> writtenInto;
    QStringList visibleWhileWriting;
    hooks.beforeWrite = [&](const fs::path& folder, int) {
        const QStringList visible =
            QDir(parent.path())
                .entryList({QStringLiteral("Planfolio-*")}, QDir::AllEntries | QDir::NoDotAndDotDot);
        const std::lock_guard guard(lock);
        writtenInto.insert(ExportFiles::fromPath(folder));
        visibleWhileWriting += visible;
    };
    int lastDone = 0;
    const Progress progress = [&](int done, int) {
        lastDone = done;
        if (done == 12)
            cancel.cancel();
    };
    QVERIFY_THROWS_EXCEPTION(
        CancellationError, DocumentSafety::exportSheetsWithHooks(
                               rows, *document, ExportFiles::toPath(parent.path()), cancel, progress, hooks));
    QCOMPARE(lastDone, 12);
    QCOMPARE(entries(parent.path()), QStringList());
    QCOMPARE(visibleWhileWriting, QStringList());
    QCOMPARE(writtenInto.size(), 1);
    const QString staging = QFileInfo(*writtenInto.cbegin()).fileName();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\.Planfolio-[0-9A-F-]{36}\\.partial$"))
                 .match(staging)
                 .hasMatch(),
             qPrintable(staging));
}

// Two sheets fail, the later one first in time (the earlier one's write is
// held until the later one has failed): the error reported is the earlier
// row's, as a one-thread export would have met it, and nothing is left.
void TestExport::firstFailureInRowOrderWins()
{
    const Fixtures::Built built = sourcePages(6);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    QTemporaryDir parent;
    WorkCancellation cancel;
    ExportHooks hooks;
    hooks.threads = 2;
    std::atomic<bool> laterFailed{false};
    hooks.beforeWrite = [&](const fs::path&, int i) {
        if (i == 4) {
            laterFailed = true;
            throw PlanfolioError(2, QStringLiteral("A source page could not be copied."));
        }
    };
    hooks.failWrite = [&](int i) {
        if (i != 1)
            return false;
        // The other thread reaches row 4 while this one waits; a bound
        // keeps a one-thread fallback from waiting forever.
        for (int waited = 0; !laterFailed && waited < 3000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    };
    try {
        DocumentSafety::exportSheetsWithHooks(plainRows(6), *document, ExportFiles::toPath(parent.path()),
                                              cancel, {}, hooks);
        QFAIL("the export succeeded");
    } catch (const PlanfolioError& e) {
        QVERIFY(laterFailed);
        QCOMPARE(e.code(), 3);
        QCOMPARE(e.message(), QStringLiteral("An output PDF could not be written or verified."));
    }
    QCOMPARE(entries(parent.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
