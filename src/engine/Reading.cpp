#include "Workflow.h"

#include "DocumentSafety.h"
#include "KeptLayers.h"
#include "OutlinedText.h"
#include "PageParallel.h"
#include "PdfDocument.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Regions must be strictly larger than this in width and height (points).
constexpr double minimumRegionSize = 3.0;

QString couldNotRead()
{
    return QStringLiteral("The source PDF could not be read.");
}

// A region is usable when every coordinate is a finite number and both
// sides exceed the minimum; NaN compares false and so counts as too small.
bool usable(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height()) && r.width() > minimumRegionSize && r.height() > minimumRegionSize;
}

PageRead readPage(const PdfDocument& document, int index, const QMap<int, PageRegions>& regions,
                  const WorkCancellation& cancel, const KeptTextLayers& kept)
{
    const std::optional<PdfPage> page = document.page(index);
    const auto entry = regions.constFind(index);
    if (!page || entry == regions.cend() || !entry->number || !entry->title)
        throw DrawingWorkflow::failure(
            QStringLiteral("Select number and title regions for page %1.").arg(index + 1));

    const QRectF number = entry->number->normalized();
    const QRectF title = entry->title->normalized();
    // QRectF::intersects treats rectangles that only share an edge as
    // disjoint, so regions drawn edge to edge are accepted.
    if (!usable(number) || !usable(title) || number.intersects(title))
        throw DrawingWorkflow::failure(
            QStringLiteral("Regions on page %1 are too small or overlap.").arg(index + 1));

    // One text layer per page, kept from the open where it could be:
    // every rectangle is then selected in memory.
    PageText layer = KeptLayers::layerOf(*page, kept, cancel);
    const QRectF cropBox = page->cropBox();
    DocumentSafety::RegionRole numberRole{true, QStringLiteral("Number region"), page->displayTransform()};
    DocumentSafety::RegionRole titleRole{false, QStringLiteral("Title region"), page->displayTransform()};
    DocumentSafety::RegionText numberText = DocumentSafety::read(layer, cropBox, number, numberRole);
    DocumentSafety::RegionText titleText = DocumentSafety::read(layer, cropBox, title, titleRole);
    // Character cells run from the font's ascent to its descent and overlap
    // on tightly set title blocks; a warning from them is judged again on
    // the glyphs as drawn, which takes one more pass over this page only.
    const auto cellWarning = [](const DocumentSafety::RegionText& t) {
        return std::any_of(t.reasons.cbegin(), t.reasons.cend(),
                           [](const EdgeReason& r) { return r.kind != EdgeReason::Kind::Empty; });
    };
    if ((cellWarning(numberText) || cellWarning(titleText)) && !layer.hasInk() &&
        page->attachInk(layer, [&cancel] { return cancel.isCancelled(); })) {
        numberText = DocumentSafety::read(layer, cropBox, number, numberRole);
        titleText = DocumentSafety::read(layer, cropBox, title, titleRole);
    }
    cancel.check();
    PageRead read{index, numberText.text, titleText.text, numberText.warning || titleText.warning, {}};
    read.reasons = numberText.reasons + titleText.reasons;
    return read;
}

} // namespace

QList<PageRead> DrawingWorkflow::read(const QByteArray& data, const QList<int>& pages,
                                      const QMap<int, PageRegions>& regions, const WorkCancellation& cancel,
                                      const Progress& progress, const KeptTextLayers& kept)
{
    cancel.check();
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(data);
    if (!document)
        throw failure(couldNotRead());

    // One slot per requested position, so both threads write without
    // touching each other's results and the order is the requested one.
    std::vector<PageRead> results(static_cast<size_t>(pages.size()));
    const auto work = [&](int position, const PdfDocument& own) {
        PageRead& read = results[static_cast<size_t>(position)];
        read = readPage(own, pages.at(position), regions, cancel, kept);
        read.outlinedText =
            OutlinedText::emptyRegionsShowInk(*own.page(read.index), regions.value(read.index), read, cancel);
    };
    PageParallel::run(*document, static_cast<int>(pages.size()), cancel, progress, work,
                      KeptLayers::coverAll(pages, kept) ? 1 : PageParallel::defaultThreads());
    cancel.check();
    return QList<PageRead>(results.begin(), results.end());
}
