// Every public test PDF and a set of damaged fixtures go the whole way a
// user's file goes on open — opening, admission, and for admitted files the
// text layer, the grouping and each page's text — each in a child
// process with a time and memory limit, so that one hostile file can neither
// stall nor exhaust the suite. A file must come out admitted, refused with
// one of admission's messages, or unreadable; none may crash. The text
// library runs in the PDF service's helper process under its own limits.
// Files known to be hostile to it may hit a limit: their outcome is
// recorded.

#include "DocumentSafety.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "TestPaths.h"
#include "Workflow.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <new>

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int timeLimitSeconds = 30;
// After this long the child asks the text library to abandon its page, as
// "Cancel task" does; a file that still runs into the time limit is one
// whose work cannot be cancelled inside a page.
constexpr int abandonAfterSeconds = 10;
constexpr rlim_t memoryLimitBytes = rlim_t(1536) * 1024 * 1024;

const QString encrypted = QStringLiteral("Password-protected or encrypted PDFs are not supported.");
const QString noPages = QStringLiteral("The PDF has no readable pages.");
const QString tooMany = QStringLiteral(
    "This version supports up to 500 pages per document. Split this document into smaller batches first.");
const QString forms = QStringLiteral("Interactive forms and signature fields are not supported.");

// The whole road of one file on open, run inside the child.
QString examine(const QByteArray& bytes)
{
    try {
        const std::unique_ptr<PdfDocument> document = PdfDocument::open(bytes);
        if (!document)
            return QStringLiteral("unreadable");
        if (const std::optional<QString> problem = DocumentSafety::problem(*document))
            return QStringLiteral("refused: ") + *problem;
        // The open flow loads the text layer right after admission; a file
        // whose two readers disagree is not a readable PDF.
        if (!document->loadTextLayer())
            return QStringLiteral("unreadable (text layer)");
        WorkCancellation cancel;
        const QList<DrawingGroup> groups = DrawingWorkflow::groups(*document, cancel);
        const auto abandonAt = std::chrono::steady_clock::now() + std::chrono::seconds(abandonAfterSeconds);
        const AbortCheck abort = [abandonAt] { return std::chrono::steady_clock::now() >= abandonAt; };
        bool abandoned = false;
        for (int i = 0; i < document->pageCount() && !abandoned; ++i) {
            const std::optional<PdfPage> page = document->page(i);
            if (!page)
                return QStringLiteral("failed: page %1 vanished after admission").arg(i + 1);
            const PageText layer = page->textLayer(abort);
            // As the open's scan reports it: a layer the text library could
            // not take makes the page unreadable, never a page without text.
            if (layer.failed())
                return QStringLiteral("refused: Page %1 is unreadable.").arg(i + 1);
            abandoned = layer.aborted() || abort();
            if (!abandoned) {
                page->text(abort);
                abandoned = abort();
            }
        }
        const QString admitted =
            QStringLiteral("admitted: %1 pages, %2 groups").arg(document->pageCount()).arg(groups.size());
        if (abandoned)
            return admitted + QStringLiteral("; text abandoned after %1 s").arg(abandonAfterSeconds);
        return admitted;
    } catch (const TaskError& error) {
        return QStringLiteral("failed: ") + error.message();
    } catch (const CancellationError&) {
        return QStringLiteral("failed: cancelled");
    } catch (const std::bad_alloc&) {
        return QStringLiteral("memory limit");
    } catch (const std::exception& error) {
        return QStringLiteral("failed: exception ") + QString::fromUtf8(error.what());
    }
}

void writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

// Runs examine(bytes) in a child process under the limits. The outcome is
// the child's report, or a description of how the child ended without one.
QString examineIsolated(const QByteArray& bytes)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return QStringLiteral("harness: pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return QStringLiteral("harness: fork failed");
    }
    if (pid == 0) {
        ::close(fds[0]);
        const rlimit limit{memoryLimitBytes, memoryLimitBytes};
        ::setrlimit(RLIMIT_AS, &limit);
        const QByteArray report = examine(bytes).toUtf8();
        writeAll(fds[1], report);
        ::close(fds[1]);
        ::_exit(0);
    }

    ::close(fds[1]);
    QByteArray report;
    bool timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeLimitSeconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue; // the deadline is tested at the top
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // end of the report: the child closed its end
        report.append(buffer, n);
    }
    ::close(fds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        return QStringLiteral("time limit (%1 s)").arg(timeLimitSeconds);
    if (WIFSIGNALED(status))
        return QStringLiteral("signal %1 (%2)").arg(WTERMSIG(status)).arg(QString::fromUtf8(strsignal(WTERMSIG(status))));
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return QStringLiteral("exit %1: %2").arg(WEXITSTATUS(status)).arg(QString::fromUtf8(report));
    if (report.isEmpty())
        return QStringLiteral("no report");
    return QString::fromUtf8(report);
}

// An outcome a user can meet: admitted, refused with one of admission's
// messages, or not a readable PDF.
bool acceptable(const QString& outcome)
{
    static const QRegularExpression admitted(QStringLiteral("^admitted: [1-9][0-9]* pages, [1-9][0-9]* groups$"));
    static const QRegularExpression unreadablePage(
        QStringLiteral("^refused: Page [1-9][0-9]* (could not be read|is unreadable)\\.$"));
    if (outcome.startsWith(QLatin1String("unreadable")) || admitted.match(outcome).hasMatch()
        || unreadablePage.match(outcome).hasMatch())
        return true;
    for (const QString& message : {encrypted, noPages, tooMany, forms}) {
        if (outcome == QStringLiteral("refused: ") + message)
            return true;
    }
    return false;
}

// Files whose outcome is known from what they are, by name.
QString expectedPrefix(const QString& name)
{
    static const QList<QPair<QString, QString>> known{
        {QStringLiteral("qpdf-enc-aes256-userpw-view.pdf"), QStringLiteral("refused: ") + encrypted},
        {QStringLiteral("qpdf-enc-rc4-userpw-view.pdf"), QStringLiteral("refused: ") + encrypted},
        {QStringLiteral("safedocs-unicode-userpw.pdf"), QStringLiteral("refused: ") + encrypted},
        {QStringLiteral("qpdf-enc-aes256-owner-only.pdf"), QStringLiteral("refused: ") + encrypted},
        {QStringLiteral("qpdf-signed-encrypted-owner-only.pdf"), QStringLiteral("refused: ") + encrypted},
        {QStringLiteral("qpdf-form-filled-by-acrobat.pdf"), QStringLiteral("refused: ") + forms},
        {QStringLiteral("qpdf-form-fields-two-pages.pdf"), QStringLiteral("refused: ") + forms},
        {QStringLiteral("qpdf-digitally-signed.pdf"), QStringLiteral("refused: ") + forms},
        {QStringLiteral("qpdf-zero-pages.pdf"), QStringLiteral("refused: ") + noPages},
        {QStringLiteral("qpdf-rotate-odd-values.pdf"), QStringLiteral("admitted: 16 pages")},
        {QStringLiteral("qpdf-rotate-inherited-pages-node.pdf"), QStringLiteral("admitted: 20 pages")},
        {QStringLiteral("glasgow-revD0-schematic-11-sheets.pdf"), QStringLiteral("admitted: 11 pages")},
        {QStringLiteral("glasgow-test-jig-schematic-3-sheets.pdf"), QStringLiteral("admitted: 3 pages")},
        {QStringLiteral("qpdf-link-annots-dest-other-pages.pdf"), QStringLiteral("admitted: 4 pages")},
        // Its image would need 1.16 GB: the helper's memory limit stops it
        // at once, and an answer cut short by the limit is no answer.
        {QStringLiteral("pdfjs-content-stream-bomb.pdf"), QStringLiteral("refused: Page 1 is unreadable.")},
    };
    for (const auto& [file, prefix] : known) {
        if (file == name)
            return prefix;
    }
    return QString();
}

// Files built to hang or exhaust the text library.
bool hostile(const QString& name)
{
    return name.contains(QLatin1String("acroform-exponential-field-dag"));
}

Fixtures::Document threeSheets()
{
    Fixtures::Document doc;
    for (int i = 0; i < 3; ++i) {
        Fixtures::Page page;
        page.mediaBox = QRectF(0, 0, 842, 595);
        page.texts = {{QStringLiteral("A-%1").arg(i + 1), 700, 40, 12}, {QStringLiteral("Plan"), 700, 60, 12}};
        doc.pages.append(page);
    }
    return doc;
}

} // namespace

class RobustnessTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void corpus_data();
    void corpus();
    void damaged_data();
    void damaged();
    void cleanupTestCase();

private:
    void check(const QString& name, const QByteArray& bytes, bool mayHitLimits, const QString& expected);
    QList<QPair<QString, QString>> m_outcomes;
};

void RobustnessTest::check(const QString& name, const QByteArray& bytes, bool mayHitLimits,
                           const QString& expected)
{
    const QString outcome = examineIsolated(bytes);
    m_outcomes.append({name, outcome});
    if (mayHitLimits && !acceptable(outcome)) {
        qInfo("%s: hostile file, outcome recorded: %s", qPrintable(name), qPrintable(outcome));
        return;
    }
    QVERIFY2(acceptable(outcome), qPrintable(name + QStringLiteral(": ") + outcome));
    if (!expected.isEmpty())
        QVERIFY2(outcome.startsWith(expected), qPrintable(name + QStringLiteral(": ") + outcome));
}

void RobustnessTest::corpus_data()
{
    QTest::addColumn<QString>("path");
    const QDir dir(TestPaths::corpusDir());
    const QStringList files = dir.entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    if (!dir.exists() || files.isEmpty())
        QSKIP("The public test PDFs are not present.");
    for (const QString& file : files)
        QTest::newRow(qPrintable(file)) << dir.filePath(file);
}

void RobustnessTest::corpus()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString name = QFileInfo(path).fileName();
    check(name, file.readAll(), hostile(name), expectedPrefix(name));
}

void RobustnessTest::damaged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QByteArray valid = Fixtures::build(threeSheets()).bytes;
    QTest::newRow("valid") << valid << QStringLiteral("admitted: 3 pages, 1 groups");
    QTest::newRow("damaged cross-reference table") << Fixtures::damaged(valid) << QString();
    QTest::newRow("truncated before the trailer") << Fixtures::truncated(valid, int(valid.size()) - 40) << QString();
    QTest::newRow("truncated in half") << Fixtures::truncated(valid, int(valid.size() / 2)) << QString();
    QTest::newRow("header only") << Fixtures::truncated(valid, 16) << QStringLiteral("unreadable");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("unreadable");
    QTest::newRow("not a PDF") << QByteArray("GIF89a this is no PDF") << QStringLiteral("unreadable");
    QTest::newRow("zero pages") << Fixtures::zeroPages() << QStringLiteral("refused: ") + noPages;

    Fixtures::Document user = threeSheets();
    user.encryption = Fixtures::Document::UserPassword;
    QTest::newRow("user password") << Fixtures::build(user).bytes << QStringLiteral("refused: ") + encrypted;
    Fixtures::Document owner = threeSheets();
    owner.encryption = Fixtures::Document::OwnerPasswordOnly;
    QTest::newRow("owner password only") << Fixtures::build(owner).bytes << QStringLiteral("refused: ") + encrypted;
    const QByteArray locked = Fixtures::build(user).bytes;
    QTest::newRow("encrypted and truncated") << Fixtures::truncated(locked, int(locked.size() / 2)) << QString();
}

void RobustnessTest::damaged()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    check(QStringLiteral("fixture: ") + QString::fromUtf8(QTest::currentDataTag()), bytes, false, expected);
}

void RobustnessTest::cleanupTestCase()
{
    qInfo("Outcome per file (time limit %d s, memory limit %d MB):", timeLimitSeconds,
          int(memoryLimitBytes / (1024 * 1024)));
    for (const auto& [name, outcome] : std::as_const(m_outcomes))
        qInfo("  %-48s %s", qPrintable(name), qPrintable(outcome));
}

QTEST_GUILESS_MAIN(RobustnessTest)
#include "tst_robustness.moc"
