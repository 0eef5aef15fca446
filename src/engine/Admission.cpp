#include "DocumentSafety.h"

#include "PdfDocument.h"

#include <cmath>

// Admission decides, from the document's structure alone, whether the rest
// of the system may work on it. It asks the PDF service only for what its
// structure reader knows (encryption, page count, annotation subtypes, form
// fields), so that a hostile file is refused before its text is ever parsed.

namespace {

const QString encryptedMessage = QStringLiteral("Password-protected or encrypted PDFs are not supported.");
const QString noPagesMessage = QStringLiteral("The PDF has no readable pages.");
const QString tooManyPagesMessage = QStringLiteral(
    "This version supports up to 500 pages per document. Split this document into smaller batches first.");
const QString formsMessage = QStringLiteral("Interactive forms and signature fields are not supported.");

constexpr int maxPages = 500;
// Page boxes closer than this (in points) count as the same layout; real
// drawing sets carry rounding noise from their producers.
constexpr double layoutTolerance = 0.5;

bool close(double a, double b)
{
    // A NaN on either side makes the comparison false, as it should.
    return std::abs(a - b) <= layoutTolerance;
}

// Compares minimum x, minimum y, width and height of the standardized
// rectangles. No translation or rotation: equal sizes at different origins
// are different layouts.
bool boxesClose(const QRectF& a, const QRectF& b)
{
    const QRectF p = a.normalized();
    const QRectF q = b.normalized();
    return close(p.x(), q.x()) && close(p.y(), q.y()) && close(p.width(), q.width())
        && close(p.height(), q.height());
}

int normalisedRotation(int degrees)
{
    return ((degrees % 360) + 360) % 360;
}

} // namespace

std::optional<QString> DocumentSafety::problem(const PdfDocument& document)
{
    if (document.isLocked() || document.isEncrypted())
        return encryptedMessage;
    const int count = document.pageCount();
    if (count <= 0)
        return noPagesMessage;
    if (count > maxPages)
        return tooManyPagesMessage;

    for (int i = 0; i < count; ++i) {
        const std::optional<PdfPage> page = document.page(i);
        if (!page)
            return QStringLiteral("Page ") + QString::number(i + 1) + QStringLiteral(" could not be read.");
        for (const QString& subtype : page->annotationSubtypes()) {
            if (subtype == QLatin1String("Widget"))
                return formsMessage;
        }
    }
    // Form fields need not have a widget on any page (or may hang off a
    // malformed field tree), yet still make the document a form. Tested after
    // the pages so that every document the page tests refuse gets the same
    // message as before; this only refuses documents they would admit.
    if (document.hasFormFields())
        return formsMessage;
    return std::nullopt;
}

bool DocumentSafety::layoutMatches(const PdfPage& a, const PdfPage& b)
{
    return layoutMatches(layoutOf(a), layoutOf(b));
}

DocumentSafety::PageLayout DocumentSafety::layoutOf(const PdfPage& page)
{
    return PageLayout{page.mediaBox(), page.cropBox(), page.rotation()};
}

bool DocumentSafety::layoutMatches(const PageLayout& a, const PageLayout& b)
{
    if (!boxesClose(a.mediaBox, b.mediaBox))
        return false;
    if (!boxesClose(a.cropBox, b.cropBox))
        return false;
    return normalisedRotation(a.rotation) == normalisedRotation(b.rotation);
}
