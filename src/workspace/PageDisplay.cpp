#include "App.h"

// Page display and region assignment: which page is shown and which
// geometry group is active, where the number and title regions of each
// group and of each page with its own regions are kept, how a dragged
// rectangle is assigned, the outlines of the shown page's regions, and which
// review rows go stale when regions change. Also the region review panel's
// opening. Main thread only.

#include "MainWindow.h"
#include "PdfDocument.h"
#include "RegionReviewPanel.h"
#include "SegmentedControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTableView>

namespace {
QString readiness(const std::optional<Region>& region)
{
    return region ? QStringLiteral("ready") : QStringLiteral("needed");
}
} // namespace

std::optional<int> App::groupFor(int page) const
{
    for (int g = 0; g < groups.size(); ++g) {
        if (groups[g].pages.contains(page))
            return g;
    }
    return std::nullopt;
}

PageRegions App::pairFor(int page) const
{
    // An override replaces the group's regions as a whole.
    if (const auto found = overrides.constFind(page); found != overrides.cend())
        return *found;
    if (const std::optional<int> g = groupFor(page)) {
        if (const auto found = groupRegions.constFind(*g); found != groupRegions.cend())
            return *found;
    }
    return {};
}

void App::clearHighlights()
{
    // Removes exactly the outlines this object added, from the overlay of
    // the page each one belongs to.
    if (pdf) {
        QList<PageOutline> remaining = pdf->outlines();
        for (const PageOutline& outline : std::as_const(annotations))
            remaining.removeOne(outline);
        pdf->setOutlines(remaining);
    }
    annotations.clear();
}

void App::showPage(int index)
{
    if (!document || !document->page(index))
        return;
    closeReviewPanel();
    clearHighlights();
    // The place the user chose on the page being left is its group's.
    const int leaving = pdf->currentPage();
    const bool another = leaving != index;
    if (another && leaving >= 0 && pdf->placedByUser()) {
        if (const std::optional<int> g = groupFor(leaving))
            groupPlaces.insert(*g, pdf->place());
    }
    activePage = index;
    const std::optional<int> group = groupFor(index);
    if (group) {
        activeGroup = *group;
        groupPicker->setCurrentIndex(*group);
    }
    pdf->showPage(index);

    // Solid for the number region, dashed for the title region; at most
    // two, on the shown page only.
    const PageRegions regions = pairFor(index);
    if (regions.number)
        annotations.append(PageOutline{index, *regions.number, false});
    if (regions.title)
        annotations.append(PageOutline{index, *regions.title, true});
    if (!annotations.isEmpty())
        pdf->setOutlines(pdf->outlines() + annotations);
    // A newly shown page opens where the user last looked at its group;
    // failing that, framed on its regions once it has both.
    if (another && group && groupPlaces.contains(*group))
        pdf->restorePlace(groupPlaces.value(*group));
    else if (another && regions.complete())
        pdf->zoomToRegions();
    renderAheadFrom(index);

    const QString detail =
        noTextPages.contains(index)
            ? QStringLiteral(
                  ": no extractable text. OCR is not supported; enter the number and title manually.")
            : QStringLiteral(
                  ": inspect both regions. Matching page size does not guarantee matching title-block "
                  "position.");
    pageNotice->setText(QStringLiteral("Page ") + QString::number(index + 1) + detail);
    refreshControls();
}

void App::renderAheadFrom(int index)
{
    // A reviewer steps through the table's rows (one a page, in page
    // order): the next rows' pages, and the previous one, are rendered as
    // they will open while this one is looked at, with the review panel's
    // crops of them once the panel has been open.
    QList<PageRenderer::Ahead> wanted;
    for (int next : {index + 1, index - 1, index + 2}) {
        if (const std::optional<PageRenderer::Ahead> page = pdf->aheadFor(RegionView::AheadPage{next, openingPlace(next)}))
            wanted.append(*page);
        wanted.append(cropsAhead(next));
    }
    if (PageRenderer* renderer = pdf->renderer())
        renderer->renderAhead(wanted);
}

QList<PageRenderer::Ahead> App::cropsAhead(int page) const
{
    if (!reviewCrops || !document)
        return {};
    const std::optional<PdfPage> shown = document->page(page);
    if (!shown)
        return {};
    // As the panel's crop views of that size will ask for them.
    QList<PageRenderer::Ahead> crops;
    const auto add = [&](const std::optional<Region>& region, const QSizeF& viewSize) {
        if (!region)
            return;
        const QRectF part = region->normalized().intersected(shown->cropBox());
        const double dpi = RegionCropView::dpiFor(viewSize, shown->displayTransform().mapRect(part).size(),
                                                  reviewCrops->pixelRatio);
        if (!part.isEmpty() && dpi > 0)
            crops.append(PageRenderer::Ahead{page, dpi, part});
    };
    const PageRegions regions = pairFor(page);
    add(regions.number, reviewCrops->number);
    add(regions.title, reviewCrops->title);
    return crops;
}

void App::noteReviewCrops()
{
    auto* panel = qobject_cast<RegionReviewPanel*>(reviewPanel.data());
    if (!panel)
        return;
    CropSizes sizes;
    if (panel->numberCrop())
        sizes.number = panel->numberCrop()->size();
    if (panel->titleCrop())
        sizes.title = panel->titleCrop()->size();
    sizes.pixelRatio = panel->devicePixelRatioF();
    if (sizes.number.isEmpty() && sizes.title.isEmpty())
        return;
    const bool changed = !reviewCrops || reviewCrops->number != sizes.number ||
                         reviewCrops->title != sizes.title || reviewCrops->pixelRatio != sizes.pixelRatio;
    reviewCrops = sizes;
    if (changed)
        renderAheadFrom(activePage);
}

std::optional<RegionView::Place> App::openingPlace(int page) const
{
    // As showPage() places a page it moves to: where the user looks at its
    // group (the shown page's place when the user has placed it), else
    // framed on its regions once it has both.
    const std::optional<int> group = groupFor(page);
    if (group && pdf->placedByUser() && groupFor(pdf->currentPage()) == group)
        return pdf->place();
    if (group && groupPlaces.contains(*group))
        return groupPlaces.value(*group);
    const PageRegions regions = pairFor(page);
    if (regions.complete())
        return pdf->framing(page, regions.number->normalized().united(regions.title->normalized()));
    return std::nullopt;
}

void App::selectRegion(const QRectF& rect, int page)
{
    if (busy() || !document || !document->page(page))
        return;
    const std::optional<int> g = groupFor(page);
    if (!g)
        return;
    activePage = page;
    activeGroup = *g;

    const bool pageOnly = scope->selectedSegment() == 1;
    // A new override starts from the regions the page had (its group's, or
    // none).
    PageRegions value = pageOnly ? (overrides.contains(page) ? overrides.value(page) : pairFor(page))
                                 : groupRegions.value(*g);
    if (mode->selectedSegment() == 0) {
        value.number = rect;
        // The next drag defines the title.
        mode->setSelectedSegment(1);
    } else {
        value.title = rect;
    }

    if (pageOnly) {
        overrides.insert(page, value);
        invalidate({page});
    } else {
        groupRegions.insert(*g, value);
        // Pages with their own regions keep their rows.
        QList<int> governed;
        for (int p : std::as_const(groups[*g].pages)) {
            if (!overrides.contains(p))
                governed.append(p);
        }
        invalidate(governed);
    }
    showPage(page);
    status->setText(QStringLiteral("Number: ") + readiness(value.number) + QStringLiteral(" \u00B7 Title: ") +
                    readiness(value.title) + QStringLiteral(". Read to update results."));
}

void App::adjustRegion(bool title, const QRectF& rect, int page)
{
    if (busy() || !document || !document->page(page))
        return;
    const int scopeBefore = scope->selectedSegment();
    const int modeBefore = mode->selectedSegment();
    const bool pageOnly = scopeBefore == 1 || overrides.contains(page);
    PageRegions one;
    (title ? one.title : one.number) = rect;
    assignRegions(page, pageOnly, one);
    scope->setSelectedSegment(scopeBefore);
    const PageRegions now = pairFor(page);
    mode->setSelectedSegment(!now.number ? 0 : !now.title ? 1 : modeBefore);
    refreshControls();
}

void App::changeGroup()
{
    if (busy())
        return;
    const int s = groupPicker->currentIndex();
    if (s < 0 || s >= groups.size())
        return;
    commitPendingEdit();
    activeGroup = s;
    const int first = groups[s].pages.first();
    scope->setSelectedSegment(0);
    mode->setSelectedSegment(0);
    if (first >= 0 && first < rows.size() && table && table->model()) {
        // Runs the table's selection handling, which shows the page.
        table->selectRow(first);
        table->scrollTo(table->model()->index(first, 0));
    }
    showPage(first);
    status->setText(
        QStringLiteral("Select both regions for this group. Solid outline: number; dashed: title."));
}

void App::changeScope()
{
    if (busy())
        return;
    showPage(activePage);
    mode->setSelectedSegment(0);
    status->setText(
        scope->selectedSegment() == 1
            ? QStringLiteral("Select new regions for this page only, then read this page.")
            : QStringLiteral("New regions apply to this geometry group; page-specific regions are kept."));
}

void App::resetPage()
{
    if (busy())
        return;
    overrides.remove(activePage);
    invalidate({activePage});
    showPage(activePage);
    status->setText(QStringLiteral("Page override removed. Read this page using its group regions."));
}

void App::invalidate(const QList<int>& pages)
{
    reviewed->setChecked(false);
    for (int p : pages) {
        // Rows of pages without text keep their typed names and state.
        if (p < 0 || p >= rows.size() || noTextPages.contains(p))
            continue;
        rows[p].insert(QStringLiteral("number"), QString());
        rows[p].insert(QStringLiteral("title"), QString());
        typedPages.remove(p);
        edgeReasons.remove(p);
        rows[p].insert(QStringLiteral("state"), ReviewState::needsReading);
    }
    reloadTable();
}

void App::inspectRegions()
{
    // Before any test, so that pressing the button while busy still closes
    // an open panel.
    closeReviewPanel();
    if (busy() || !document || !pdf->renderer())
        return;
    const std::optional<PdfPage> page = document->page(activePage);
    if (!page)
        return;

    RegionReviewPanel::Content content;
    content.page = activePage;
    content.cropBox = page->cropBox();
    content.displayTransform = page->displayTransform();
    content.regions = pairFor(activePage);
    if (activePage >= 0 && activePage < rows.size()) {
        const ReviewRow& row = rows.at(activePage);
        const auto text = [&row](const char* key) {
            const QVariant value = row.value(QLatin1String(key));
            return value.typeId() == QMetaType::QString ? value.toString() : QString();
        };
        content.numberValue = text("number");
        content.titleValue = text("title");
    }
    content.noText = noTextPages.contains(activePage);
    if (const auto name = bookmarkNames.constFind(activePage); name != bookmarkNames.cend())
        content.bookmark = name->text();
    content.outlinedText = outlinedPages.contains(activePage);
    content.reasons = edgeReasons.value(activePage);

    auto* panel = new RegionReviewPanel(content, pdf->renderer(), window.get());
    reviewPanel = panel;
    connect(panel, &RegionReviewPanel::stepRequested, this, &App::stepReviewPanel);
    // Once a crop shows, the crop views' size is known: the next rows'
    // crops of that size are rendered ahead.
    for (RegionCropView* crop : {panel->numberCrop(), panel->titleCrop()}) {
        if (crop)
            connect(crop, &RegionCropView::imageArrived, this, &App::noteReviewCrops);
    }
    panel->present(reviewPanelPlace);
}

void App::stepReviewPanel(int delta)
{
    if (busy() || !table || !table->model())
        return;
    const int target = activePage + delta;
    if (target < 0 || target >= rows.size())
        return;
    // Through the table, as a click on the row: the selection handling
    // shows the page (closing the panel) and sets the status.
    table->selectRow(target);
    table->scrollTo(table->model()->index(target, 0));
    if (activePage != target)
        showPage(target);
    inspectRegions();
}
