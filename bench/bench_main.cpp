// bench_main: the engine's three long tasks (open, read, export) and the
// memory an open costs, on one drawing set, each against the reference tool
// that does comparable work, from the same run on the same machine. Prints a
// table of medians, ratios and targets; asserts nothing.
//
//   bench_main [--runs N] [--breakdown] FILE   FILE: a heavy set from fixturegen
//   bench_main --memory-probe FILE             (child) resident memory rise of one open
//
// The read uses the heavy set's title-block regions and the export its true
// sheet names, so the work is what a user's split of that set would do.

#include "DocumentSafety.h"
#include "ExportFiles.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "SourceFile.h"
#include "Workflow.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

double seconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

// CPU time of the whole process (every thread), in seconds: set against
// the wall time it shows how many cores the work actually kept busy.
double processCpu()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Wall seconds of `work`; its process CPU seconds are added to `cpu`.
double seconds(const std::function<void()>& work, double& cpu)
{
    const double before = processCpu();
    const double wall = seconds(work);
    cpu += processCpu() - before;
    return wall;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A field of a /proc file, such as "model name" of /proc/cpuinfo or
// "VmHWM" of /proc/self/status: the text after the colon.
QString procField(const QString& path, const QString& field)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    // /proc files report a size of 0; readAll() reads on to the end anyway.
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0 && line.left(colon).trimmed() == field)
            return line.mid(colon + 1).trimmed();
    }
    return QString();
}

// "12345 kB" → bytes.
qint64 procBytes(const QString& field)
{
    const QString text = procField(QStringLiteral("/proc/self/status"), field);
    return text.section(QLatin1Char(' '), 0, 0).toLongLong() * 1024;
}

QString machine()
{
    const QString cpu = procField(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name"));
    const qint64 memKb = procField(QStringLiteral("/proc/meminfo"), QStringLiteral("MemTotal"))
                             .section(QLatin1Char(' '), 0, 0)
                             .toLongLong();
    return QStringLiteral("Machine: %1 · %2 cores · %3 GB memory")
        .arg(cpu.isEmpty() ? QStringLiteral("unknown processor") : cpu)
        .arg(std::thread::hardware_concurrency())
        .arg(double(memKb) / 1024 / 1024, 0, 'f', 1);
}

// Wall time of an external tool; nothing when it is missing or fails.
std::optional<double> toolSeconds(const QString& program, const QStringList& args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    if (!process.waitForStarted() || !process.waitForFinished(-1))
        return std::nullopt;
    const double elapsed = double(timer.nsecsElapsed()) / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return elapsed;
}

// Total size of the PDF files directly inside `folder`.
qint64 pdfBytes(const QString& folder)
{
    qint64 total = 0;
    QDirIterator it(folder, {QStringLiteral("*.pdf")}, QDir::Files);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

QList<ReviewRow> trueRows(int pages)
{
    QList<ReviewRow> rows;
    for (int i = 0; i < pages; ++i) {
        ReviewRow row = makeRow(i, ReviewState::readReview);
        row.insert(QStringLiteral("number"), Fixtures::heavyNumber(i));
        row.insert(QStringLiteral("title"), Fixtures::heavyTitle(i));
        rows.append(row);
    }
    return rows;
}

QMap<int, PageRegions> heavyRegions(const QList<int>& pages)
{
    QMap<int, PageRegions> regions;
    for (const int i : pages)
        regions.insert(i, PageRegions(Fixtures::heavyNumberRegion(), Fixtures::heavyTitleRegion()));
    return regions;
}

std::filesystem::path nativePath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Child process: resident memory before the open, the peak after it.
int memoryProbe(const QString& file)
{
    const qint64 before = procBytes(QStringLiteral("VmRSS"));
    // "5" resets the peak (VmHWM) to the current resident size, so that
    // the start-up's own peak does not count.
    bool reset = false;
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        reset = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
    }
    WorkCancellation token;
    const SourceFile::Opened opened = SourceFile::open(file, token);
    const qint64 peak = procBytes(QStringLiteral("VmHWM"));
    std::printf("%lld %lld %d %d\n", static_cast<long long>(before), static_cast<long long>(peak),
                reset ? 1 : 0, int(opened.document->pageCount()));
    return 0;
}

std::optional<qint64> memoryRise(const QString& self, const QString& file)
{
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(self, {QStringLiteral("--memory-probe"), file});
    if (!probe.waitForFinished(-1) || probe.exitCode() != 0)
        return std::nullopt;
    const QStringList fields = QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char(' '));
    if (fields.size() < 2)
        return std::nullopt;
    return fields.at(1).toLongLong() - fields.at(0).toLongLong();
}

struct Row
{
    QString work;
    double ours = 0;
    double reference = 0;
    QString unit;
    QString referenceName;
    double target = 0; // ours ≤ target × reference
    QString targetText;
};

QString figure(double value, const QString& unit)
{
    if (unit == QLatin1String("s"))
        return QString::number(value, 'f', 2) + QStringLiteral(" s");
    return QString::number(value / 1024 / 1024, 'f', 1) + QStringLiteral(" MB");
}

void printTable(const QList<Row>& rows)
{
    out() << "| Work | Planfolio | Reference | Ratio | Target | Met |\n";
    out() << "|---|---|---|---|---|---|\n";
    for (const Row& row : rows) {
        const double ratio = row.reference > 0 ? row.ours / row.reference : 0;
        const bool met = row.reference > 0 && ratio <= row.target;
        out() << "| " << row.work << " | " << figure(row.ours, row.unit) << " | "
              << figure(row.reference, row.unit) << " (" << row.referenceName << ") | "
              << QString::number(ratio, 'f', 2) << " | " << row.targetText << " | "
              << (row.reference > 0 ? (met ? "yes" : "NO") : "n/a") << " |\n";
    }
    out().flush();
}

// Where the time of an open and an export goes, phase by phase, through the
// same public operations the engine's tasks are made of.
void breakdown(const QString& file)
{
    WorkCancellation token;
    QByteArray bytes;
    std::unique_ptr<PdfDocument> document;
    QFile source(file);
    const double read = seconds([&] {
        if (source.open(QIODevice::ReadOnly))
            bytes = source.readAll();
    });
    const double structure = seconds([&] { document = PdfDocument::open(bytes); });
    if (!document) {
        out() << "breakdown: " << file << " does not open\n";
        return;
    }
    const double admission = seconds([&] { DocumentSafety::problem(*document); });
    const double textLayer = seconds([&] { document->loadTextLayer(); });
    const double grouping = seconds([&] { DrawingWorkflow::groups(*document, token); });
    const double scan = seconds([&] { DrawingWorkflow::pagesWithoutText(*document, token); });
    const int pages = document->pageCount();
    out() << "\nOpen, by phase (" << pages << " pages):\n"
          << "  read file " << read << " s · qpdf structure " << structure << " s · admission " << admission
          << " s · poppler load " << textLayer << " s · grouping " << grouping << " s · text scan " << scan
          << " s\n";

    const int sample = std::min(pages, 50);
    double layers = 0;
    double copies = 0;
    double written = 0;
    double synced = 0;
    double reopen = 0;
    qint64 copyBytes = 0;
    QTemporaryDir scratch;
    for (int i = 0; i < sample; ++i) {
        const std::optional<PdfPage> page = document->page(i);
        layers += seconds([&] { page->textLayer(); });
        std::optional<QByteArray> copy;
        copies += seconds([&] { copy = document->singlePagePdf(i); });
        if (!copy)
            continue;
        copyBytes += copy->size();
        const QString path = scratch.filePath(QString::number(i) + QStringLiteral(".pdf"));
        QFile f(path);
        written += seconds([&] {
            if (f.open(QIODevice::WriteOnly))
                f.write(*copy);
            f.flush();
        });
        synced += seconds([&] { ::fsync(f.handle()); });
        f.close();
        reopen += seconds([&] { PdfDocument::openFile(path); });
    }
    QList<int> first;
    for (int i = 0; i < sample; ++i)
        first.append(i);
    double readCpu = 0;
    const double readFirst =
        seconds([&] { DrawingWorkflow::read(bytes, first, heavyRegions(first), token); }, readCpu);
    out() << "Per page, mean of the first " << sample << " pages, one thread:\n"
          << "  text layer " << layers / sample * 1000 << " ms · single-page copy " << copies / sample * 1000
          << " ms (" << copyBytes / sample / 1024 << " KB) · write " << written / sample * 1000 << " ms · fsync "
          << synced / sample * 1000 << " ms · re-open for verification " << reopen / sample * 1000 << " ms\n"
          << "Read of the same pages (engine, both cores): " << readFirst / sample * 1000 << " ms a page, "
          << QString::number(layers / readFirst, 'f', 2) << "× the one-thread text layers, "
          << QString::number(readCpu / readFirst, 'f', 2) << " cores busy\n";
    out().flush();
}

int bench(const QString& self, const QString& file, int runs, bool withBreakdown)
{
    const qint64 fileSize = QFileInfo(file).size();
    WorkCancellation token;
    SourceFile::Opened opened;
    try {
        opened = SourceFile::open(file, token);
    } catch (const TaskError& error) {
        out() << "bench_main: " << file << ": " << error.message() << "\n";
        return 1;
    }
    const int pages = opened.document->pageCount();
    qint64 keptBytes = 0;
    for (const QByteArray& layer : std::as_const(opened.textLayers))
        keptBytes += layer.size();
    QList<int> all;
    for (int i = 0; i < pages; ++i)
        all.append(i);
    const QMap<int, PageRegions> regions = heavyRegions(all);
    const QList<ReviewRow> rows = trueRows(pages);

    out() << machine() << "\n"
          << "File: " << file << " · " << pages << " pages · "
          << QString::number(double(fileSize) / 1024 / 1024, 'f', 1) << " MB · median of " << runs
          << " runs\n\n";
    out().flush();

    std::vector<double> open, read, keptRead, exportTime, pdftotext, qpdf, memory;
    double openCpu = 0, readCpu = 0, exportCpu = 0;
    std::vector<double> exportBytes, qpdfBytes;
    for (int run = 0; run < runs; ++run) {
        open.push_back(seconds([&] { SourceFile::open(file, token); }, openCpu));
        if (const auto t = toolSeconds(QStringLiteral("pdftotext"),
                                       {QStringLiteral("-cropbox"), file, QStringLiteral("/dev/null")}))
            pdftotext.push_back(*t);

        QList<PageRead> reads;
        read.push_back(
            seconds([&] { reads = DrawingWorkflow::read(opened.bytes, all, regions, token); }, readCpu));
        for (const PageRead& r : reads) {
            if (r.number != Fixtures::heavyNumber(r.index) || r.title != Fixtures::heavyTitle(r.index)) {
                out() << "bench_main: page " << r.index + 1 << " read as '" << r.number << "' / '" << r.title
                      << "'\n";
                break;
            }
        }

        // The window's and the CLI's read after an open: from the layers the
        // open's scan kept.
        QList<PageRead> keptReads;
        keptRead.push_back(seconds([&] {
            keptReads = DrawingWorkflow::read(opened.bytes, all, regions, token, {}, opened.textLayers);
        }));
        if (keptReads != reads)
            out() << "bench_main: the read from kept layers differs from the read of the pages\n";

        QTemporaryDir ours;
        std::filesystem::path folder;
        exportTime.push_back(seconds(
            [&] {
                // The window's export opens its own document from the bytes.
                const std::unique_ptr<PdfDocument> document = PdfDocument::open(opened.bytes);
                folder = DocumentSafety::exportSheets(rows, *document, nativePath(ours.path()), token);
            },
            exportCpu));
        exportBytes.push_back(double(pdfBytes(QFile::decodeName(folder.c_str()))));
        QTemporaryDir theirs;
        if (const auto t =
                toolSeconds(QStringLiteral("qpdf"), {QStringLiteral("--split-pages"), file,
                                                     theirs.filePath(QStringLiteral("out.pdf"))})) {
            qpdf.push_back(*t);
            qpdfBytes.push_back(double(pdfBytes(theirs.path())));
        }
        if (const auto rise = memoryRise(self, file))
            memory.push_back(double(*rise));
        out() << "run " << run + 1 << "/" << runs << " done\n";
        out().flush();
    }
    out() << "\n";

    const QString pdftotextName = QStringLiteral("pdftotext -cropbox");
    const QString qpdfName = QStringLiteral("qpdf --split-pages");
    printTable({
        {QStringLiteral("Open (admit + group + text scan)"), median(open), median(pdftotext),
         QStringLiteral("s"), pdftotextName, 0.6, QStringLiteral("≤ 0.6 ×")},
        {QStringLiteral("Read two regions on every page"), median(read), median(pdftotext),
         QStringLiteral("s"), pdftotextName, 0.6, QStringLiteral("≤ 0.6 ×")},
        {QStringLiteral("Read two regions on every page after the open (kept layers)"), median(keptRead),
         median(pdftotext), QStringLiteral("s"), pdftotextName, 0.05, QStringLiteral("≤ 0.05 ×")},
        {QStringLiteral("Kept text layers of the open"), double(keptBytes), double(fileSize), QStringLiteral("B"),
         QStringLiteral("file size"), 0.5, QStringLiteral("≤ 0.5 ×")},
        {QStringLiteral("Export every sheet (write, verify, register)"), median(exportTime), median(qpdf),
         QStringLiteral("s"), qpdfName, 0.6, QStringLiteral("≤ 0.6 ×")},
        {QStringLiteral("Export: total bytes of the sheets"), median(exportBytes), median(qpdfBytes),
         QStringLiteral("B"), qpdfName, 1.05, QStringLiteral("≤ 1.05 ×")},
        {QStringLiteral("Memory: resident rise of one open"), median(memory), double(fileSize),
         QStringLiteral("B"), QStringLiteral("file size"), 1.6, QStringLiteral("≤ 1.6 ×")},
    });
    const auto cores = [](double cpu, const std::vector<double>& wall) {
        double total = 0;
        for (const double w : wall)
            total += w;
        return QString::number(total > 0 ? cpu / total : 0, 'f', 2);
    };
    out() << "\nCores kept busy (process CPU time ÷ wall time): open " << cores(openCpu, open) << ", read "
          << cores(readCpu, read) << ", export " << cores(exportCpu, exportTime) << "\n";
    // The export's figure against the reference on its own line: what a
    // user waits for, on how many of the machine's cores.
    const double exportRatio = median(qpdf) > 0 ? median(exportTime) / median(qpdf) : 0;
    out() << "Export on " << DocumentSafety::exportThreads()
          << " threads: " << QString::number(median(exportTime), 'f', 2) << " s against "
          << QString::number(median(qpdf), 'f', 2) << " s for " << qpdfName << ", ratio "
          << QString::number(exportRatio, 'f', 2) << " ×, cores kept busy " << cores(exportCpu, exportTime)
          << "\n";
    // The page view's live readout runs on the main thread during a drag:
    // decoding one page's kept layer, then the read's two selections.
    if (!opened.textLayers.isEmpty() && !opened.textLayers.first().isEmpty()) {
        constexpr int repeats = 200;
        std::optional<PageText> layer;
        const double decode = seconds([&] {
            for (int i = 0; i < repeats; ++i)
                layer = PageText::fromBytes(opened.textLayers.first());
        });
        const QRectF crop = opened.document->page(0)->cropBox();
        const double select = seconds([&] {
            for (int i = 0; i < repeats; ++i)
                DocumentSafety::read(*layer, crop, Fixtures::heavyTitleRegion());
        });
        out() << "\nLive readout on the main thread (target < 2 ms): decode a kept layer "
              << QString::number(decode / repeats * 1000, 'f', 3) << " ms once per page, read one region "
              << QString::number(select / repeats * 1000, 'f', 3) << " ms per move\n";
    }
    out() << "\nLongest main-thread stall in the window: measured by bench_window, when built.\n";
    if (withBreakdown)
        breakdown(file);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args.first() == QLatin1String("--memory-probe"))
        return memoryProbe(args.at(1));

    int runs = 3;
    bool withBreakdown = false;
    bool valid = true;
    QString file;
    for (qsizetype i = 0; i < args.size() && valid; ++i) {
        if (args.at(i) == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args.at(++i).toInt());
        else if (args.at(i) == QLatin1String("--breakdown"))
            withBreakdown = true;
        else if (file.isEmpty() && !args.at(i).startsWith(QLatin1Char('-')))
            file = args.at(i);
        else
            valid = false;
    }
    if (!valid || file.isEmpty()) {
        std::fprintf(
            stderr,
            "usage: bench_main [--runs N] [--breakdown] FILE\n       bench_main --memory-probe FILE\n");
        return 2;
    }
    try {
        return bench(app.applicationFilePath(), file, runs, withBreakdown);
    } catch (const TaskError& error) {
        std::fprintf(stderr, "bench_main: %s\n", error.what());
    } catch (const CancellationError&) {
        std::fprintf(stderr, "bench_main: cancelled\n");
    }
    return 1;
}
