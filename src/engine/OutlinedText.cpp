#include "OutlinedText.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A pixel at least this dark (of 255) is ink: a stroke a third of a pixel
// wide still darkens its pixels that much when antialiased.
constexpr int kInkLevel = 200;
// Render scale: a region's longer side takes about this many pixels, within
// the resolutions below (a 0.25 pt stroke keeps half a pixel at 144 dpi).
constexpr double kTargetPixels = 800;
constexpr double kMinDpi = 36;
constexpr double kMaxDpi = 144;
// Ink left once rules are taken out, as pixels and as a share of the area:
// more than a speck of dust or the end of a crossing line.
constexpr int kMinInkPixels = 12;
constexpr double kMinInkShare = 0.002;

bool blank(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

} // namespace

bool OutlinedText::showsInk(const QImage& source)
{
    if (source.isNull())
        return false;
    const QImage image = source.convertToFormat(QImage::Format_Grayscale8);
    const int w = image.width();
    const int h = image.height();
    std::vector<char> ink(size_t(w) * size_t(h), 0);
    for (int y = 0; y < h; ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < w; ++x)
            ink[size_t(y) * size_t(w) + size_t(x)] = row[x] <= kInkLevel ? 1 : 0;
    }
    // Long runs along rows and columns are rules and cell borders: a
    // string's glyphs break every row and column through it.
    std::vector<char> rule(ink.size(), 0);
    const auto markRuns = [&](int lines, int length, auto at) {
        const int longRun = std::max(3, length / 2);
        for (int l = 0; l < lines; ++l) {
            int start = 0;
            for (int k = 0; k <= length; ++k) {
                if (k < length && ink[at(l, k)])
                    continue;
                if (k - start >= longRun) {
                    for (int j = start; j < k; ++j)
                        rule[at(l, j)] = 1;
                }
                start = k + 1;
            }
        }
    };
    markRuns(h, w, [w](int y, int x) { return size_t(y) * size_t(w) + size_t(x); });
    markRuns(w, h, [w](int x, int y) { return size_t(y) * size_t(w) + size_t(x); });
    qint64 left = 0;
    for (size_t i = 0; i < ink.size(); ++i)
        left += (ink[i] && !rule[i]) ? 1 : 0;
    return left >= std::max<qint64>(kMinInkPixels, qint64(std::ceil(kMinInkShare * double(w) * double(h))));
}

bool OutlinedText::regionShowsInk(const PdfPage& page, const QRectF& region, const WorkCancellation& cancel)
{
    const QRectF r = region.normalized();
    const double side = std::max(r.width(), r.height());
    if (!(side > 0))
        return false;
    const double dpi = std::clamp(72.0 * kTargetPixels / side, kMinDpi, kMaxDpi);
    const QImage image = page.renderRegion(r, dpi, [&cancel] { return cancel.isCancelled(); });
    cancel.check();
    return showsInk(image);
}

bool OutlinedText::emptyRegionsShowInk(const PdfPage& page, const PageRegions& regions, const PageRead& read,
                                       const WorkCancellation& cancel)
{
    if (regions.number && blank(read.number) && regionShowsInk(page, *regions.number, cancel))
        return true;
    return regions.title && blank(read.title) && regionShowsInk(page, *regions.title, cancel);
}
