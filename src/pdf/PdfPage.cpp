#include "PdfDocument.h"

#include "internal/GlyphInk.h"
#include "internal/PdfDocumentImpl.h"

#include <qpdf/QPDFPageObjectHelper.hh>

#include <QStringView>

#include <cstring>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

// US Letter, which poppler also assumes for a page without a usable box.
const QRectF kDefaultMediaBox(0, 0, 612, 792);

// Stored /Rotate reduced to 0, 90, 180 or 270 as both libraries display it;
// a value that is not a multiple of 90 displays unrotated.
int displayedRotation(int stored)
{
    const int r = ((stored % 360) + 360) % 360;
    return (r % 90 == 0) ? r : 0;
}

using HelperWire::Request;
using Outcome = HelperChannel::Outcome;

// An image the helper sent: its geometry, then its pixels.
QImage decodeImage(const QByteArray& payload)
{
    HelperWire::Reader in(payload);
    std::int32_t w = 0, h = 0, format = 0, stride = 0;
    if (!in.get(w) || !in.get(h) || !in.get(format) || !in.get(stride) || w <= 0 || h <= 0 || stride < 4 * w)
        return QImage();
    const QByteArray pixels = in.rest();
    if (pixels.size() != qsizetype(stride) * h)
        return QImage();
    QImage image(w, h, QImage::Format(format));
    if (image.isNull() || image.bytesPerLine() < 4 * w)
        return QImage();
    for (int y = 0; y < h; ++y)
        std::memcpy(image.scanLine(y), pixels.constData() + qsizetype(y) * stride, size_t(4 * w));
    return image;
}

} // namespace

QRectF PdfPage::mediaBox() const
{
    try {
        QPDFPageObjectHelper helper(m_doc->impl().pages[size_t(m_index)]);
        if (auto box = PdfInternal::boxRect(helper.getMediaBox(false)))
            return *box;
    } catch (const std::exception&) {
    }
    return kDefaultMediaBox;
}

QRectF PdfPage::cropBox() const
{
    const QRectF media = mediaBox();
    QRectF crop = media;
    try {
        QPDFPageObjectHelper helper(m_doc->impl().pages[size_t(m_index)]);
        if (auto box = PdfInternal::boxRect(helper.getCropBox(false, false)))
            crop = *box;
    } catch (const std::exception&) {
    }
    // Each edge is clamped into the media box, as poppler clips it; a crop
    // box wholly outside the media box collapses onto the media box's edge.
    const double x1 = std::clamp(crop.left(), media.left(), media.right());
    const double x2 = std::clamp(crop.right(), media.left(), media.right());
    const double y1 = std::clamp(crop.top(), media.top(), media.bottom());
    const double y2 = std::clamp(crop.bottom(), media.top(), media.bottom());
    return QRectF(QPointF(x1, y1), QPointF(x2, y2));
}

int PdfPage::rotation() const
{
    try {
        QPDFPageObjectHelper helper(m_doc->impl().pages[size_t(m_index)]);
        QPDFObjectHandle rotate = helper.getAttribute("/Rotate", false);
        if (rotate.isInteger())
            return rotate.getIntValueAsInt();
    } catch (const std::exception&) {
    }
    return 0;
}

QList<QString> PdfPage::annotationSubtypes() const
{
    QList<QString> subtypes;
    try {
        for (QPDFObjectHandle annot : PdfInternal::annotations(m_doc->impl().pages[size_t(m_index)])) {
            QPDFObjectHandle subtype = annot.getKey("/Subtype");
            if (subtype.isName())
                subtypes.append(QString::fromStdString(subtype.getName().substr(1)));
            else
                subtypes.append(QString());
        }
    } catch (const std::exception&) {
    }
    return subtypes;
}

QTransform PdfPage::displayTransform() const
{
    const QRectF c = cropBox();
    const double x1 = c.left(), x2 = c.right(), y1 = c.top(), y2 = c.bottom();
    // QTransform(m11, m12, m21, m22, dx, dy) maps (x, y) to
    // (m11·x + m21·y + dx, m12·x + m22·y + dy).
    switch (displayedRotation(rotation())) {
    case 90:
        return QTransform(0, 1, 1, 0, -y1, -x1); // (y − y1, x − x1)
    case 180:
        return QTransform(-1, 0, 0, 1, x2, -y1); // (x2 − x, y − y1)
    case 270:
        return QTransform(0, -1, -1, 0, y2, x2); // (y2 − y, x2 − x)
    default:
        return QTransform(1, 0, 0, -1, -x1, y2); // (x − x1, y2 − y)
    }
}

QSizeF PdfPage::displaySize() const
{
    const QSizeF size = cropBox().size();
    const int r = displayedRotation(rotation());
    return (r == 90 || r == 270) ? size.transposed() : size;
}

PageText PdfPage::textLayer(const AbortCheck& abort) const
{
    PageText result;
    try {
        HelperWire::Writer request;
        request.put(std::int32_t(m_index)).putTransform(displayTransform());
        const HelperChannel::Answer answer =
            m_doc->impl().pageWork(Request::Text, request.bytes(), pdfHelperSettings().textSeconds, abort);
        if (answer.outcome == Outcome::Aborted) {
            result.setAborted(true);
            return result;
        }
        std::optional<PageText> layer;
        if (answer.outcome == Outcome::Ok)
            layer = PageText::fromBytes(answer.payload);
        if (!layer) {
            result.setFailed(true);
            return result;
        }
        const QList<TextComment> comments = shxTextComments();
        if (comments.isEmpty())
            return std::move(*layer);
        return layer->withComments(comments, displayTransform());
    } catch (const std::exception&) {
        result.setFailed(true);
        return result;
    }
}

bool PdfPage::attachInk(PageText& layer, const AbortCheck& abort) const
{
    try {
        HelperWire::Writer request;
        request.put(std::int32_t(m_index));
        const HelperChannel::Answer answer =
            m_doc->impl().pageWork(Request::Ink, request.bytes(), pdfHelperSettings().textSeconds, abort);
        if (answer.outcome != Outcome::Ok)
            return false;
        const std::optional<QList<GlyphInk::Glyph>> glyphs = GlyphInk::decode(answer.payload);
        if (!glyphs)
            return false;
        layer.attachInk(*glyphs);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QString PdfPage::text(const AbortCheck& abort) const
{
    const PageText layer = textLayer(abort);
    return layer.aborted() ? QString() : layer.allText();
}

QString PdfPage::text(const QRectF& userRect) const
{
    PdfDocument::Impl& d = m_doc->impl();
    if (d.cachedTextPage != m_index) {
        d.cachedTextPage = -1;
        d.cachedText = textLayer();
        d.cachedTextPage = m_index;
    }
    return d.cachedText.text(userRect);
}

QString PdfPage::referenceText(const QRectF& userRect) const
{
    // A rectangle with no area would read as "no rectangle" to poppler,
    // which then returns the whole page.
    if (!(userRect.width() > 0) || !(userRect.height() > 0))
        return QString();
    try {
        const QRectF shown = displayTransform().mapRect(userRect);
        HelperWire::Writer request;
        request.put(std::int32_t(m_index)).put(shown.x()).put(shown.y()).put(shown.width()).put(shown.height());
        const HelperChannel::Answer answer =
            m_doc->impl().pageWork(Request::Reference, request.bytes(), pdfHelperSettings().textSeconds, {});
        if (answer.outcome != Outcome::Ok)
            return QString();
        return QString(reinterpret_cast<const QChar*>(answer.payload.constData()), answer.payload.size() / 2);
    } catch (const std::exception&) {
        return QString();
    }
}

namespace {

// One render through the helper: the whole displayed page (w, h of -1) or
// the pixels (x, y, w, h) of it at `dpi`.
QImage renderThroughHelper(PdfDocument::Impl& d, int index, double dpi, const int (&rect)[4],
                           const AbortCheck& abort, bool* failed)
{
    if (failed)
        *failed = false;
    try {
        HelperWire::Writer request;
        request.put(std::int32_t(index)).put(dpi);
        for (int v : rect)
            request.put(std::int32_t(v));
        HelperChannel::Answer answer;
        bool answered = false;
        if (HelperChannel* display = d.displayChannel(dpi / 72.0)) {
            answer = display->call(Request::Render, request.bytes(), pdfHelperSettings().renderSeconds, abort);
            // A page the copy cannot show is shown from the original.
            answered = answer.outcome == Outcome::Ok || answer.outcome == Outcome::Aborted;
        }
        if (!answered)
            answer = d.pageWork(Request::Render, request.bytes(), pdfHelperSettings().renderSeconds, abort);
        if (answer.outcome == Outcome::Aborted || (abort && abort()))
            return QImage();
        QImage image = answer.outcome == Outcome::Ok ? decodeImage(answer.payload) : QImage();
        if (image.isNull() && failed)
            *failed = true;
        return image;
    } catch (const std::exception&) {
        if (failed)
            *failed = true;
        return QImage();
    }
}

} // namespace

QImage PdfPage::render(double dpi, const AbortCheck& abort, bool* failed) const
{
    if (failed)
        *failed = false;
    if (!(dpi > 0) || !std::isfinite(dpi))
        return QImage();
    const int whole[4] = {-1, -1, -1, -1};
    return renderThroughHelper(m_doc->impl(), m_index, dpi, whole, abort, failed);
}

QImage PdfPage::renderRegion(const QRectF& userRect, double dpi, const AbortCheck& abort, bool* failed) const
{
    if (failed)
        *failed = false;
    if (!(dpi > 0) || !std::isfinite(dpi))
        return QImage();
    const QRectF shown =
        displayTransform().mapRect(userRect.normalized()).intersected(QRectF(QPointF(0, 0), displaySize()));
    if (shown.isEmpty())
        return QImage();
    // Whole pixels at the requested scale that cover the shown rectangle.
    const double scale = dpi / 72.0;
    const int x = int(std::floor(shown.left() * scale));
    const int y = int(std::floor(shown.top() * scale));
    const int w = int(std::ceil(shown.right() * scale)) - x;
    const int h = int(std::ceil(shown.bottom() * scale)) - y;
    if (w <= 0 || h <= 0)
        return QImage();
    const int part[4] = {x, y, w, h};
    return renderThroughHelper(m_doc->impl(), m_index, dpi, part, abort, failed);
}
