// bench_window: how long the window's main thread stops answering while a
// person opens a drawing set, looks at 20 pages, reads a group and exports.
// A 10 ms precise timer ticks on the main thread throughout; the lateness of
// each tick is a stall the person would feel. Every step is started from
// the event loop, so the step's own main-thread work counts too. Prints the
// longest stall per phase; asserts nothing. Run offscreen:
//
//   QT_QPA_PLATFORM=offscreen bench_window [--runs N] FILE
//
// FILE: a heavy set from fixturegen (its title-block regions are used).
//
//   bench_window --pages [--dwell MS] [--limit N] [--regions JSON] FILE...
//   bench_window --pages --logo [--dwell MS]
//
// prints instead, for any set, how long a page change takes to show the
// page's image: cold at the fitted zoom (each page's first showing, pages
// visited four apart so that nothing was rendered ahead for them), and in
// review order (row after row of the table, the reviewer staying MS
// milliseconds, 2000 by default, on each row). When the set has regions
// (JSON, else "<FILE without .pdf>.regions-careful.json" beside it), they
// are applied for the review, so that pages open framed on them as a
// reviewer sees them, and the review panel is opened on each row and the
// time until both its crops show is printed as well. --logo measures a generated set whose sheets
// draw one large logo image 120 times (with its title-block regions).
//
//   bench_window --zoom
//
// prints instead how large a 36 pt sheet number shows at the window's
// opening size and after "Zoom to regions"; run it on a display (Xvfb) of
// the screen size to measure.

#include "App.h"
#include "Fixtures.h"
#include "MainWindow.h"
#include "RegionCropView.h"
#include "RegionReviewPanel.h"
#include "RegionView.h"
#include "SegmentedControl.h"
#include "Toolkit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTableView>
#include <QLabel>
#include <QMap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Answers the window's dialogs at once: the open panel with the bench file,
// the folder chooser with a scratch folder; alerts are noted and dismissed.
class BenchToolkit : public Toolkit
{
  public:
    BenchToolkit(QString file, QString folder) : m_file(std::move(file)), m_folder(std::move(folder)) {}
    QStringList alerts;

    void alert(QWidget*, const QString& message, const QString&, const QString&) override
    {
        alerts.append(message);
    }
    bool confirm(QWidget*, const QString&, const QString&, const QString&, const QString&) override
    {
        return true;
    }
    std::optional<QString> chooseOpenPdf(QWidget*) override { return m_file; }
    std::optional<QString> chooseFolder(QWidget*, const QString&) override { return m_folder; }
    std::optional<QString> chooseSaveRegions(QWidget*, const QString&) override { return std::nullopt; }
    std::optional<QString> chooseOpenRegions(QWidget*) override
    {
        return regions.isEmpty() ? std::nullopt : std::optional<QString>(regions);
    }
    // The regions file "Apply regions…" opens, if any.
    QString regions;
    void openInFileManager(const QString&) override {}
    void terminate() override {}

  private:
    QString m_file;
    QString m_folder;
};

// Times every event the main thread handles (the outermost delivery only)
// and keeps a tally, by event type and receiving class, of what was handled
// since the stall meter's last tick, so that a stall can be traced to what
// filled it: one long event, or a burst of short ones delivered back to
// back (posted events are all delivered before timers get their turn).
class TimingApplication : public QApplication
{
  public:
    using QApplication::QApplication;

    struct Tally
    {
        int count = 0;
        double ms = 0;
    };
    using Window = QMap<QString, Tally>;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth > 0 || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        ++m_depth;
        // Taken before delivery: the receiver may be deleted by the event.
        const QString what = QStringLiteral("event %1 to %2")
                                 .arg(int(event->type()))
                                 .arg(QLatin1String(receiver ? receiver->metaObject()->className() : "?"));
        QElapsedTimer clock;
        clock.start();
        const bool result = QApplication::notify(receiver, event);
        Tally& tally = m_window[what];
        ++tally.count;
        tally.ms += double(clock.nsecsElapsed()) / 1e6;
        --m_depth;
        return result;
    }
    // What was handled since the last call.
    Window takeWindow() { return std::exchange(m_window, Window()); }

  private:
    int m_depth = 0;
    Window m_window;
};

TimingApplication* timing()
{
    return static_cast<TimingApplication*>(QCoreApplication::instance());
}

// "3 × event 43 to App (41.0 ms), ..." for the three costliest entries.
QString describe(const TimingApplication::Window& window)
{
    QList<QPair<QString, TimingApplication::Tally>> entries;
    for (auto it = window.cbegin(); it != window.cend(); ++it)
        entries.append({it.key(), it.value()});
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
    QStringList parts;
    for (qsizetype i = 0; i < entries.size() && i < 3; ++i)
        parts.append(QStringLiteral("%1 × %2 (%3 ms)")
                         .arg(entries[i].second.count)
                         .arg(entries[i].first)
                         .arg(entries[i].second.ms, 0, 'f', 1));
    return parts.join(QStringLiteral(", "));
}

// The event loop's lateness: a 10 ms timer whose every tick is compared
// with the time since the previous one. The longest stall is kept with what
// the main thread handled during it.
class StallMeter
{
  public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double ms = double(m_clock.nsecsElapsed()) / 1e6;
            m_clock.restart();
            const TimingApplication::Window window = timing()->takeWindow();
            if (ms - 10.0 > m_worst) {
                m_worst = ms - 10.0;
                m_during = describe(window);
            }
        });
    }
    void start()
    {
        m_worst = 0;
        timing()->takeWindow();
        m_clock.start();
        m_timer.start();
    }
    // The longest stall since start() or the last take(), in ms, and what
    // filled it.
    double take(const char* phase)
    {
        const double worst = std::max(0.0, m_worst);
        out() << "  " << phase << ": longest stall " << QString::number(worst, 'f', 1) << " ms, during it: "
              << (m_during.isEmpty() ? QStringLiteral("nothing handled (the process was not running)")
                                     : m_during)
              << "\n";
        m_worst = 0;
        m_during.clear();
        return worst;
    }

  private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_worst = 0;
    QString m_during;
};

// Runs `action` from the event loop, then keeps the loop running until
// `done` holds (polled every 5 ms) or `timeoutMs` passes. False on timeout.
bool step(const std::function<void()>& action, const std::function<bool()>& done, int timeoutMs = 600000)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    bool finished = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > timeoutMs) {
            finished = done();
            loop.quit();
        }
    });
    QTimer::singleShot(0, [&] {
        action();
        poll.start(5);
    });
    loop.exec();
    return finished;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double longest(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// "median 41.0 ms, longest 120.3 ms (≤ 100 / ≤ 300 ms: yes)"
QString figures(const std::vector<double>& v, double medianTarget, double longestTarget)
{
    if (v.empty())
        return QStringLiteral("none measured");
    const bool met = median(v) <= medianTarget && longest(v) <= longestTarget;
    return QStringLiteral("%1 pages: median %2 ms, longest %3 ms (target median ≤ %4, longest ≤ %5 ms: %6)")
        .arg(v.size())
        .arg(median(v), 0, 'f', 1)
        .arg(longest(v), 0, 'f', 1)
        .arg(medianTarget)
        .arg(longestTarget)
        .arg(met ? QStringLiteral("met") : QStringLiteral("NOT met"));
}

// A window with `file` open (and `regions` applied, when given), settled.
std::unique_ptr<App> openWindow(const QString& file, const QString& regions, const QString& scratch)
{
    auto toolkit = std::make_unique<BenchToolkit>(file, scratch);
    toolkit->regions = regions;
    auto app = std::make_unique<App>(std::move(toolkit));
    app->applicationDidFinishLaunching();
    QElapsedTimer settle;
    settle.start();
    step([] {}, [&] { return settle.elapsed() > 500; });
    if (!step([&] { app->openPDF(); }, [&] { return !app->busy(); }) || !app->document) {
        out() << "bench_window: " << file << " did not open: " << app->status->text() << "\n";
        return nullptr;
    }
    if (!regions.isEmpty())
        step([&] { app->applyRegions(); }, [&] { return !app->busy(); });
    // The first page's image, so that the passes start from a shown page.
    step([] {}, [&] { return app->pdf->hasImage(); }, 30000);
    return app;
}

// Selects table row `row` (as a click does) and waits for its page's
// image; the milliseconds it took, or a negative value when it never came.
double changePage(App& app, int row)
{
    bool arrived = false;
    const QMetaObject::Connection c = QObject::connect(
        app.pdf, &RegionView::imageArrived, [&](int page, QThread*) { arrived = arrived || page == row; });
    QElapsedTimer clock;
    const bool done = step(
        [&] {
            clock.start();
            app.table->selectRow(row);
        },
        [&] { return arrived; }, 60000);
    QObject::disconnect(c);
    return done ? double(clock.nsecsElapsed()) / 1e6 : -1;
}

// Opens the review panel on the shown page and waits for its crops; the
// milliseconds until the last one showed, or a negative value when the page
// has no region or a crop never came.
double openPanel(App& app)
{
    QElapsedTimer clock;
    const auto ready = [&app] {
        auto* panel = qobject_cast<RegionReviewPanel*>(app.reviewPanel.data());
        if (!panel)
            return false;
        for (RegionCropView* crop : {panel->numberCrop(), panel->titleCrop()}) {
            if (crop && !crop->shownRegion().isEmpty() && crop->image().isNull())
                return false;
        }
        return true;
    };
    const bool done = step(
        [&] {
            clock.start();
            app.inspectRegions();
        },
        ready, 60000);
    auto* panel = qobject_cast<RegionReviewPanel*>(app.reviewPanel.data());
    const bool anyCrop = panel && (panel->numberCrop() || panel->titleCrop());
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    step([&] { app.closeReviewPanel(); }, [] { return true; });
    return done && anyCrop ? ms : -1;
}

void wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    step([] {}, [&] { return clock.elapsed() >= ms; }, ms + 1000);
}

// Page change figures for one set; false when it cannot be opened.
bool pageFigures(const QString& file, QString regions, int dwellMs, int limit)
{
    if (regions.isEmpty()) {
        const QString beside = file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
                                   ? file.chopped(4) + QStringLiteral(".regions-careful.json")
                                   : QString();
        if (!beside.isEmpty() && QFileInfo::exists(beside))
            regions = beside;
    }
    QTemporaryDir scratch;
    out() << "\n" << QFileInfo(file).fileName() << (regions.isEmpty() ? " (no regions)" : "") << ":\n";
    out().flush();

    StallMeter meter;
    std::vector<double> cold;
    {
        // Without regions, so that every page shows fitted.
        std::unique_ptr<App> app = openWindow(file, QString(), scratch.path());
        if (!app)
            return false;
        const int n = std::min(limit, int(app->rows.size()));
        // Four apart: the pages rendered ahead are the shown page's
        // neighbours, and none of them is visited next.
        std::vector<int> order;
        for (int start = 0; start < 4; ++start) {
            for (int p = start; p < n; p += 4)
                order.push_back(p);
        }
        // Page 0 is shown already; it comes last, once it has left the kept images.
        std::rotate(order.begin(), order.begin() + 1, order.end());
        meter.start();
        for (int p : order) {
            const double ms = changePage(*app, p);
            if (ms >= 0)
                cold.push_back(ms);
        }
        meter.take("cold page changes");
    }
    std::vector<double> review, crops;
    {
        std::unique_ptr<App> app = openWindow(file, regions, scratch.path());
        if (!app)
            return false;
        const int n = std::min(limit, int(app->rows.size()));
        meter.start();
        for (int p = 0; p < n; ++p) {
            QElapsedTimer row;
            row.start();
            // The first row's page shows from the open on.
            if (p != app->pdf->currentPage()) {
                const double ms = changePage(*app, p);
                if (ms >= 0)
                    review.push_back(ms);
            }
            if (!regions.isEmpty()) {
                const double crop = openPanel(*app);
                if (crop >= 0)
                    crops.push_back(crop);
            }
            wait(std::max(0, dwellMs - int(row.elapsed())));
        }
        meter.take("review order");
    }
    out() << "  cold page change, fitted: " << figures(cold, 1e9, 600) << "\n";
    out() << "  page change in review order, " << dwellMs << " ms on each row"
          << (regions.isEmpty() ? ", fitted: " : ", framed on the regions: ") << figures(review, 100, 300) << "\n";
    if (!regions.isEmpty())
        out() << "  review panel crops in review order: " << figures(crops, 100, 300) << "\n";
    out().flush();
    return true;
}

// The repeated-logo set, generated, with its title-block regions.
bool logoFigures(int dwellMs, int limit)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("repeated-logo.pdf"));
    const QString regions = dir.filePath(QStringLiteral("repeated-logo.regions.json"));
    const QByteArray bytes = Fixtures::repeatedLogo(12).bytes;
    const auto box = [](const QRectF& r) {
        return QStringLiteral("[%1, %2, %3, %4]").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    const QByteArray json = QStringLiteral("{\"groups\": {\"1\": {\"number\": %1, \"title\": %2}}, \"pages\": {}}")
                                .arg(box(Fixtures::repeatedLogoNumberRegion()), box(Fixtures::repeatedLogoTitleRegion()))
                                .toUtf8();
    QFile f(pdf), g(regions);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !g.open(QIODevice::WriteOnly) ||
        g.write(json) != json.size())
        return false;
    f.close();
    g.close();
    return pageFigures(pdf, regions, dwellMs, limit);
}

struct Stalls
{
    double open = 0;
    double pages = 0;
    double read = 0;
    double exportFiles = 0;
    // Milliseconds from showing a page to its image arriving, per page.
    std::vector<double> pageLatency;
};

bool once(const QString& file, Stalls& stalls)
{
    QTemporaryDir parent;
    auto toolkit = std::make_unique<BenchToolkit>(file, parent.path());
    App app(std::move(toolkit));
    app.applicationDidFinishLaunching();
    // The window's first showing is start-up, not part of the session.
    QElapsedTimer settle;
    settle.start();
    step([] {}, [&] { return settle.elapsed() > 500; });
    StallMeter meter;
    meter.start();

    if (!step([&] { app.openPDF(); }, [&] { return !app.busy(); }) || !app.document) {
        out() << "bench_window: open did not finish: " << app.status->text() << "\n";
        return false;
    }
    stalls.open = std::max(stalls.open, meter.take("open"));

    const int shown = std::min(20, int(app.rows.size()));
    for (int i = 0; i < shown; ++i) {
        bool arrived = false;
        const QMetaObject::Connection c = QObject::connect(
            app.pdf, &RegionView::imageArrived, [&](int page, QThread*) { arrived = arrived || page == i; });
        QElapsedTimer clock;
        step(
            [&] {
                clock.start();
                app.showPage(i);
            },
            [&] { return arrived; }, 30000);
        if (arrived)
            stalls.pageLatency.push_back(double(clock.nsecsElapsed()) / 1e6);
        QObject::disconnect(c);
    }
    stalls.pages = std::max(stalls.pages, meter.take("show 20 pages"));

    // Each of these is one gesture of the person, so one event of its own:
    // the number drag, the title drag, the click on the read button.
    step(
        [&] {
            app.mode->setSelectedSegment(0);
            app.scope->setSelectedSegment(0);
            app.selectRegion(Fixtures::heavyNumberRegion(), 0);
        },
        [] { return true; });
    step([&] { app.selectRegion(Fixtures::heavyTitleRegion(), 0); }, [] { return true; });
    step([&] { app.readRegions(); }, [&] { return !app.busy(); });
    stalls.read = std::max(stalls.read, meter.take("read"));

    step([&] { app.reviewed->setChecked(true); }, [] { return true; });
    step([&] { app.exportFiles(); }, [&] { return !app.busy(); });
    stalls.exportFiles = std::max(stalls.exportFiles, meter.take("export"));
    out() << "  status after export: " << app.status->text() << "\n";
    out().flush();
    return true;
}

// How large a 36 pt sheet number shows on screen: a 2384 × 1684 pt sheet
// (A1 landscape) with "A-101" at 36 pt and its title at 24 pt in the
// lower-right title block, opened in the window at its opening size; then
// "Zoom to regions" before any region is set (the lower-right quarter) and
// after both are set (the regions framed). Prints pixels per point, the
// number's cap height and its word box in pixels.
bool zoomFigures()
{
    Fixtures::Document doc;
    Fixtures::Page page;
    page.mediaBox = QRectF(0, 0, 2384, 1684);
    page.texts = {{QStringLiteral("SHEET NO."), 1900, 110, 8},
                  {QStringLiteral("A-101"), 1900, 60, 36},
                  {QStringLiteral("SHEET TITLE"), 1900, 200, 8},
                  {QStringLiteral("GROUND FLOOR PLAN"), 1900, 160, 24}};
    page.lines = {QLineF(1880, 40, 2344, 40), QLineF(1880, 130, 2344, 130), QLineF(1880, 220, 2344, 220)};
    doc.pages = {page, page};
    doc.pages[1].texts[1].text = QStringLiteral("A-102");
    const Fixtures::Built built = Fixtures::build(doc);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zoom.pdf"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(built.bytes) != built.bytes.size())
        return false;
    f.close();

    App app(std::make_unique<BenchToolkit>(path, dir.path()));
    app.applicationDidFinishLaunching();
    QElapsedTimer settle;
    settle.start();
    step([] {}, [&] { return settle.elapsed() > 500; });
    if (!step([&] { app.openPDF(); }, [&] { return !app.busy(); }) || !app.document)
        return false;
    step([] {}, [&] { return settle.elapsed() > 1000; });

    const QRectF number = built.boxOf(0, QStringLiteral("A-101"));
    const double capHeight = 0.718 * 36;
    const auto report = [&](const char* when) {
        const QTransform t = app.pdf->pageTransform();
        const double pxPerPt = std::sqrt(std::abs(t.determinant()));
        const QRectF box = t.mapRect(number);
        out() << "| " << when << " | " << QString::number(pxPerPt, 'f', 3) << " | "
              << QString::number(capHeight * pxPerPt, 'f', 1) << " px | " << QString::number(box.width(), 'f', 0)
              << " × " << QString::number(box.height(), 'f', 0) << " px | "
              << QString::number(1 / pxPerPt, 'f', 2) << " pt |\n";
    };
    const QScreen* screen = app.window->screen();
    out() << "\nA 36 pt sheet number on a 2384 × 1684 pt sheet, window " << app.window->width() << " × "
          << app.window->height() << " on a " << (screen ? screen->geometry().width() : 0) << " × "
          << (screen ? screen->geometry().height() : 0) << " screen, page view " << app.pdf->viewport()->width()
          << " × " << app.pdf->viewport()->height() << ":\n\n"
          << "| View | px per pt | Cap height | Word box | One pixel |\n|---|---|---|---|---|\n";
    report("Opening size (page fitted)");
    const auto zoomToRegions = [&] {
        for (QAction* action : app.pdf->zoomActions()) {
            if (action->text() == QStringLiteral("Zoom to regions"))
                step([action] { action->trigger(); }, [] { return true; });
        }
    };
    zoomToRegions();
    report("Zoom to regions, none set (lower-right quarter)");
    step(
        [&] {
            app.mode->setSelectedSegment(0);
            app.scope->setSelectedSegment(0);
            app.selectRegion(number.adjusted(-8, -8, 8, 8), 0);
        },
        [] { return true; });
    step(
        [&] {
            app.mode->setSelectedSegment(1);
            app.selectRegion(built.boxOf(0, QStringLiteral("GROUND FLOOR PLAN")).adjusted(-8, -8, 8, 8), 0);
        },
        [] { return true; });
    zoomToRegions();
    report("Zoom to regions, both set");
    out().flush();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // The application ignores its arguments; Qt gets only the program name.
    int qtArgc = 1;
    TimingApplication qt(qtArgc, argv);
    int runs = 3;
    int dwell = 2000;
    int limit = 1000;
    bool pageMode = false, logo = false;
    QString regions;
    QString file;
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--runs") && i + 1 < argc)
            runs = std::max(1, QString::fromLocal8Bit(argv[++i]).toInt());
        else if (arg == QLatin1String("--dwell") && i + 1 < argc)
            dwell = std::max(0, QString::fromLocal8Bit(argv[++i]).toInt());
        else if (arg == QLatin1String("--limit") && i + 1 < argc)
            limit = std::max(1, QString::fromLocal8Bit(argv[++i]).toInt());
        else if (arg == QLatin1String("--regions") && i + 1 < argc)
            regions = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--pages"))
            pageMode = true;
        else if (arg == QLatin1String("--logo"))
            logo = true;
        else
            files.append(file = arg);
    }
    if (pageMode) {
        out() << "Page change to its image at the fitted zoom (loaded machine figures vary)\n";
        bool ok = true;
        if (logo)
            ok = logoFigures(dwell, limit) && ok;
        for (const QString& f : std::as_const(files))
            ok = pageFigures(f, regions, dwell, limit) && ok;
        return ok ? 0 : 1;
    }
    if (file == QLatin1String("--zoom"))
        return zoomFigures() ? 0 : 1;
    if (file.isEmpty()) {
        std::fprintf(stderr, "usage: bench_window [--runs N] FILE | --zoom\n"
                             "       bench_window --pages [--dwell MS] [--limit N] [--regions JSON] [--logo] FILE...\n");
        return 2;
    }

    std::vector<double> open, pages, read, exportFiles, latency;
    for (int run = 0; run < runs; ++run) {
        Stalls stalls;
        if (!once(file, stalls))
            return 1;
        open.push_back(stalls.open);
        pages.push_back(stalls.pages);
        read.push_back(stalls.read);
        exportFiles.push_back(stalls.exportFiles);
        latency.insert(latency.end(), stalls.pageLatency.begin(), stalls.pageLatency.end());
    }
    const double worst = std::max({median(open), median(pages), median(read), median(exportFiles)});
    out() << "\nLongest main-thread stall in the window (10 ms timer lateness, median of " << runs
          << " runs):\n\n"
          << "| Phase | Longest stall | Target | Met |\n|---|---|---|---|\n";
    const auto row = [](const char* phase, double ms) {
        out() << "| " << phase << " | " << QString::number(ms, 'f', 1) << " ms | ≤ 16 ms (one frame) | "
              << (ms <= 16 ? "yes" : "NO") << " |\n";
    };
    row("Open", median(open));
    row("Show 20 pages", median(pages));
    row("Read the group", median(read));
    row("Export", median(exportFiles));
    row("Whole session", worst);
    if (!latency.empty()) {
        std::vector<double> sorted = latency;
        std::sort(sorted.begin(), sorted.end());
        out() << "\nPage change to its image at the fitted zoom (rendered by the PDF helper), "
              << sorted.size() << " pages: median " << QString::number(median(latency), 'f', 1)
              << " ms, 90th " << QString::number(sorted[sorted.size() * 9 / 10], 'f', 1) << " ms, longest "
              << QString::number(sorted.back(), 'f', 1) << " ms (target median ≤ 100 ms, longest ≤ 300 ms)\n";
    }
    out().flush();
    return 0;
}
