#include "PdfDocument.h"

#include "internal/PdfDocumentImpl.h"

#include <qpdf/QPDFPageObjectHelper.hh>

#include <QStringView>

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

// Poppler's abort hooks take a QVariant: it carries the address of the
// caller's AbortCheck, which outlives the call that polls it.
bool shouldAbort(const QVariant& closure)
{
    const auto* check = reinterpret_cast<const AbortCheck*>(closure.value<quintptr>());
    return check && *check && (*check)();
}

QVariant abortClosure(const AbortCheck& abort)
{
    return QVariant::fromValue(quintptr(&abort));
}

bool isAborted(const AbortCheck& abort)
{
    return abort && abort();
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
        QPDFObjectHandle annots = m_doc->impl().pages[size_t(m_index)].getKey("/Annots");
        if (!annots.isArray())
            return subtypes;
        const int n = annots.getArrayNItems();
        for (int i = 0; i < n; ++i) {
            QPDFObjectHandle annot = annots.getArrayItem(i);
            if (!annot.isDictionary())
                continue;
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
        std::unique_ptr<Poppler::Page> page = m_doc->impl().popplerPage(m_index);
        if (!page)
            return result;
        if (isAborted(abort)) {
            result.setAborted(true);
            return result;
        }
        const std::vector<std::unique_ptr<Poppler::TextBox>> boxes =
            abort ? page->textList(Poppler::Page::Rotate0, &shouldAbort, abortClosure(abort))
                  : page->textList(Poppler::Page::Rotate0);
        // Poppler hands back whatever it had when it stopped; a partial
        // layer would read as missing text, so it is dropped.
        if (isAborted(abort)) {
            result.setAborted(true);
            return result;
        }

        const QTransform toUser = displayTransform().inverted();
        QList<PageText::Char> chars;
        QList<PageText::Word> words;
        words.reserve(qsizetype(boxes.size()));
        int line = 0;
        for (const auto& box : boxes) {
            const QString text = box->text();
            const QRectF wordBox = box->boundingBox();
            words.append({text, toUser.mapRect(wordBox)});
            const bool lineEnd = box->nextWord() == nullptr;
            // Character boxes come one per code point, so a character
            // outside the basic plane gives two QChars sharing one box.
            int codePoint = 0;
            for (qsizetype i = 0; i < text.size(); ++codePoint) {
                const qsizetype width = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
                QRectF charBox = box->charBoundingBox(codePoint);
                if (charBox.isNull())
                    charBox = wordBox;
                const QPointF centre = toUser.map(charBox.center());
                for (qsizetype k = 0; k < width; ++k) {
                    PageText::Char c;
                    c.ch = text.at(i + k);
                    c.centre = centre;
                    c.box = toUser.mapRect(charBox);
                    c.line = line;
                    const bool last = i + k + 1 == text.size();
                    c.spaceAfter = last && box->hasSpaceAfter();
                    c.lineEnd = last && lineEnd;
                    chars.append(c);
                }
                i += width;
            }
            if (lineEnd)
                ++line;
        }
        result = PageText(std::move(chars), std::move(words));
    } catch (const std::exception&) {
        return PageText();
    }
    return result;
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
        std::unique_ptr<Poppler::Page> page = m_doc->impl().popplerPage(m_index);
        if (!page)
            return QString();
        return page->text(displayTransform().mapRect(userRect));
    } catch (const std::exception&) {
        return QString();
    }
}

QImage PdfPage::render(double dpi, const AbortCheck& abort) const
{
    if (!(dpi > 0) || !std::isfinite(dpi))
        return QImage();
    try {
        std::unique_ptr<Poppler::Page> page = m_doc->impl().popplerPage(m_index);
        if (!page || isAborted(abort))
            return QImage();
        QImage image = page->renderToImage(dpi, dpi, -1, -1, -1, -1, Poppler::Page::Rotate0, nullptr, nullptr,
                                           abort ? &shouldAbort : nullptr, abortClosure(abort));
        // An abandoned render is a partly painted page: never show it.
        if (isAborted(abort))
            return QImage();
        return image;
    } catch (const std::exception&) {
        return QImage();
    }
}

QImage PdfPage::renderRegion(const QRectF& userRect, double dpi, const AbortCheck& abort) const
{
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
    try {
        std::unique_ptr<Poppler::Page> page = m_doc->impl().popplerPage(m_index);
        if (!page || isAborted(abort))
            return QImage();
        QImage image = page->renderToImage(dpi, dpi, x, y, w, h, Poppler::Page::Rotate0, nullptr, nullptr,
                                           abort ? &shouldAbort : nullptr, abortClosure(abort));
        if (isAborted(abort))
            return QImage();
        return image;
    } catch (const std::exception&) {
        return QImage();
    }
}
