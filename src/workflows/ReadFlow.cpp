#include "App.h"

// The read flow: the pages of the active group (or the shown page alone)
// that have text are read on the worker with their effective regions, from
// a document of the task's own opened from the source bytes; the numbers,
// titles and review states are written into the rows on the main thread,
// unless the task was cancelled meanwhile.

#include "SegmentedControl.h"

#include <QCheckBox>

#include <algorithm>

namespace {

const QString cancelledText = QStringLiteral("Read cancelled. Previous results retained.");

QString readSummary(const QList<PageRead>& results, int skipped)
{
    int warnings = 0;
    for (const PageRead& result : results)
        warnings += result.warning ? 1 : 0;
    return QStringLiteral("Read ") + QString::number(results.size()) + QStringLiteral(" pages. ") +
           QString::number(warnings) +
           QStringLiteral(" need an edge/text check. Click any row to inspect its source and regions. ") +
           QString::number(skipped) + QStringLiteral(" no-text pages skipped; manual names kept.");
}

// Said once per read: regions that read nothing while they show drawn
// text, which no read can take.
QString outlinedNote(const QList<PageRead>& results)
{
    const auto count =
        std::count_if(results.begin(), results.end(), [](const PageRead& r) { return r.outlinedText; });
    if (count == 0)
        return QString();
    return QLatin1Char(' ') + QString::number(count) +
           QStringLiteral(
               " pages show drawn text in their regions but the PDF carries no text there; enter their "
               "names in the table.");
}

} // namespace

void App::readRegions()
{
    if (busy() || !sourceData)
        return;
    if (activeGroup < 0 || activeGroup >= groups.size())
        return;
    // A half-typed cell is stored first; the read may then overwrite it.
    commitPendingEdit();

    QList<int> candidates;
    if (scope->selectedSegment() != 0)
        candidates = {activePage};
    else
        candidates = groups[activeGroup].pages;
    candidates.removeIf([this](int page) { return page < 0 || page >= rows.size(); });
    if (candidates.isEmpty())
        return;

    QList<int> pages;
    for (int page : std::as_const(candidates)) {
        if (!noTextPages.contains(page))
            pages.append(page);
    }
    if (pages.isEmpty()) {
        alert(
            QStringLiteral("These pages have no extractable text. OCR is not supported. Enter their numbers "
                           "and titles directly in the table."));
        return;
    }

    QMap<int, PageRegions> regions;
    for (int page : std::as_const(pages))
        regions.insert(page, pairFor(page));
    for (const PageRegions& pair : std::as_const(regions)) {
        if (!pair.complete()) {
            alert(QStringLiteral("Select both number and title regions for this group or page first."));
            return;
        }
    }

    startRead(pages, regions, int(candidates.size() - pages.size()));
}

void App::readAllGroups()
{
    if (busy() || !sourceData)
        return;
    commitPendingEdit();
    // Every page with text whose effective regions are complete, in page
    // order; pages still without both regions wait for them.
    QList<int> pages;
    QMap<int, PageRegions> regions;
    for (int page = 0; page < rows.size(); ++page) {
        if (noTextPages.contains(page))
            continue;
        const PageRegions pair = pairFor(page);
        if (!pair.complete())
            continue;
        pages.append(page);
        regions.insert(page, pair);
    }
    if (pages.isEmpty()) {
        alert(QStringLiteral("Select both number and title regions for this group or page first."));
        return;
    }
    startRead(pages, regions, int(noTextPages.size()));
}

void App::startRead(const QList<int>& pages, const QMap<int, PageRegions>& regions, int skipped)
{
    const std::shared_ptr<WorkCancellation> cancel = begin(QStringLiteral("Reading selected pages\u2026"));
    reviewed->setChecked(false);

    // `this` stays valid for the job: the destructor waits for it.
    // The kept text layers travel as an implicitly shared copy: the read
    // selects from them without interpreting a page again.
    submit([this, data = *sourceData, layers = textLayers, pages, regions, cancel, skipped] {
        try {
            const QList<PageRead> results = DrawingWorkflow::read(
                data, pages, regions, *cancel,
                [this](int done, int total) { report(done, total, QStringLiteral("Reading")); }, layers);
            deliver([this, results, cancel, skipped] {
                if (cancel->isCancelled()) {
                    finish(cancelledText);
                    return;
                }
                for (const PageRead& result : results) {
                    if (result.index < 0 || result.index >= rows.size())
                        continue;
                    ReviewRow& row = rows[result.index];
                    row.insert(QStringLiteral("number"), result.number);
                    row.insert(QStringLiteral("title"), result.title);
                    row.insert(QStringLiteral("state"),
                               result.warning ? ReviewState::checkEdges : ReviewState::readReview);
                    if (result.outlinedText)
                        outlinedPages.insert(result.index);
                    else
                        outlinedPages.remove(result.index);
                    // The typed names are replaced by what was read.
                    typedPages.remove(result.index);
                    if (result.reasons.isEmpty())
                        edgeReasons.remove(result.index);
                    else
                        edgeReasons.insert(result.index, result.reasons);
                }
                reloadTable();
                finish(readSummary(results, skipped) + outlinedNote(results));
            });
        } catch (const CancellationError&) {
            deliver([this] { finish(cancelledText); });
        } catch (const TaskError& error) {
            deliver([this, message = error.message()] { finish(QStringLiteral("Read failed: ") + message); });
        } catch (const std::exception& error) {
            deliver([this, message = QString::fromUtf8(error.what())] {
                finish(QStringLiteral("Read failed: ") + message);
            });
        }
    });
}
