// The display copy: renders at display resolutions come from a copy whose
// large images are reduced, and show the same page; finer renders, and
// documents without large images, are rendered from the original exactly
// as before.

#include "Fixtures.h"
#include "PdfDocument.h"
#include "TestPaths.h"

#include <QtTest>

#include <cmath>

namespace {

// Mean absolute difference per channel (0–255) of two images of one size,
// and the share of pixels whose largest channel difference exceeds `far`.
struct Difference
{
    double mean = 0;
    double farShare = 0;
};

Difference difference(const QImage& a, const QImage& b, int far)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    qint64 farCount = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const QRgb* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int dr = std::abs(qRed(p[col]) - qRed(q[col]));
            const int dg = std::abs(qGreen(p[col]) - qGreen(q[col]));
            const int db = std::abs(qBlue(p[col]) - qBlue(q[col]));
            sum += dr + dg + db;
            if (std::max({dr, dg, db}) > far)
                ++farCount;
        }
    }
    const double pixels = double(x.width()) * x.height();
    return {sum / (3 * pixels), double(farCount) / pixels};
}

} // namespace

class DisplayCopyTest : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void reducedImagesShowTheSamePage()
    {
        const QByteArray bytes = Fixtures::repeatedLogo(1).bytes;
        const auto original = PdfDocument::open(bytes);
        const auto display = PdfDocument::open(bytes);
        QVERIFY(original && display);
        display->useDisplayCopies({1, 4});

        // The fitted zoom of a large sheet, and the review panel's
        // magnification of its title block.
        for (const double pixelsPerPoint : {0.3, 1.0, 2.5}) {
            const QRectF part = pixelsPerPoint <= 1
                                    ? QRectF()
                                    : Fixtures::repeatedLogoTitleRegion().adjusted(-300, -60, 0, 300);
            const double dpi = 72 * pixelsPerPoint;
            bool failedA = true, failedB = true;
            const QImage a = part.isNull() ? original->page(0)->render(dpi, {}, &failedA)
                                           : original->page(0)->renderRegion(part, dpi, {}, &failedA);
            const QImage b = part.isNull() ? display->page(0)->render(dpi, {}, &failedB)
                                           : display->page(0)->renderRegion(part, dpi, {}, &failedB);
            QVERIFY(!failedA && !failedB);
            QVERIFY(!a.isNull());
            QCOMPARE(b.size(), a.size());
            // The logo's pixels are averaged rather than sampled: close, not
            // identical; lines and text are the same.
            const Difference d = difference(a, b, 64);
            QVERIFY2(d.mean < 3 && d.farShare < 0.01,
                     qPrintable(QStringLiteral("at %1 px/pt: mean %2, far %3")
                                    .arg(pixelsPerPoint)
                                    .arg(d.mean)
                                    .arg(d.farShare)));
        }
    }

    void finerRendersComeFromTheOriginal()
    {
        const QByteArray bytes = Fixtures::repeatedLogo(1).bytes;
        const auto original = PdfDocument::open(bytes);
        const auto display = PdfDocument::open(bytes);
        display->useDisplayCopies({1, 4});
        // One logo and its surroundings at 6 pixels a point, past the finest copy's
        // resolution: pixel for pixel the original's.
        const QRectF part(100, 60, 220, 160);
        const QImage a = original->page(0)->renderRegion(part, 72 * 6);
        const QImage b = display->page(0)->renderRegion(part, 72 * 6);
        QVERIFY(!a.isNull());
        QCOMPARE(b, a);
    }

    void documentsWithoutLargeImagesRenderAsBefore()
    {
        const QByteArray bytes = Fixtures::sample().bytes;
        const auto original = PdfDocument::open(bytes);
        const auto display = PdfDocument::open(bytes);
        display->useDisplayCopies({1, 4});
        for (int page : {0, 9}) {
            const QImage a = original->page(page)->render(30);
            QVERIFY(!a.isNull());
            QCOMPARE(display->page(page)->render(30), a);
        }
    }

    void aRealSetShowsTheSame()
    {
        // A Revit set whose sheets carry a few photographs and logos.
        const QString path = TestPaths::corpusDir() + QStringLiteral("/../realsets/kegonsa-kitchen.pdf");
        if (!QFile::exists(path))
            QSKIP("the real sets are not beside the checkout");
        const auto original = PdfDocument::openFile(path);
        const auto display = PdfDocument::openFile(path);
        QVERIFY(original && display);
        display->useDisplayCopies({0.25, 1, 4});
        // The first sheet, and one that draws a 323×333 logo 118 times, at
        // about the fitted zoom and at one pixel a point.
        for (const auto& [page, dpi] : {std::pair{0, 14.0}, std::pair{14, 14.0}, std::pair{14, 72.0}}) {
            const QImage a = original->page(page)->render(dpi);
            const QImage b = display->page(page)->render(dpi);
            QVERIFY(!a.isNull());
            QCOMPARE(b.size(), a.size());
            const Difference d = difference(a, b, 64);
            QVERIFY2(d.mean < 3 && d.farShare < 0.01, qPrintable(QStringLiteral("page %1 at %2 dpi: mean %3, far %4")
                                                                    .arg(page + 1)
                                                                    .arg(dpi)
                                                                    .arg(d.mean)
                                                                    .arg(d.farShare)));
        }
    }
};

QTEST_MAIN(DisplayCopyTest)
#include "tst_displaycopy.moc"
