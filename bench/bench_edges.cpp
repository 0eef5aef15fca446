// bench_edges: how often a region that cuts its text reads a wrong name
// without a warning. A region's border is swept in 0.5 pt steps across a
// sheet number, a two-line title and the gap to a neighbouring word, and
// each position is read as the application reads it; the counts show how
// many positions give a truncated text that the user is not told about.
// Also prints what a careful region (a clear margin all round) reports,
// and the time one region read takes on a heavy sheet. Asserts nothing.
//
//   bench_edges

#include "DocumentSafety.h"
#include "Fixtures.h"
#include "PdfDocument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <functional>

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

struct Sheet
{
    Fixtures::Built built;
    std::unique_ptr<PdfDocument> document;
    PageText layer;
    QRectF crop;
};

Sheet sheetWith(const QList<Fixtures::Text>& texts, std::optional<int> rotate = std::nullopt)
{
    Fixtures::Document spec;
    Fixtures::Page page;
    page.mediaBox = QRectF(0, 0, 842, 595);
    page.rotate = rotate;
    page.texts = texts;
    spec.pages = {page};
    Sheet sheet;
    sheet.built = Fixtures::build(spec);
    sheet.document = PdfDocument::open(sheet.built.bytes);
    if (sheet.document) {
        const PdfPage p = *sheet.document->page(0);
        sheet.layer = p.textLayer();
        sheet.crop = p.cropBox();
    }
    return sheet;
}

struct Tally
{
    int positions = 0;
    int complete = 0;
    int completeWarned = 0;
    int wrongWarned = 0;
    int wrongSilent = 0;

    void add(const DocumentSafety::RegionText& got, const QString& full)
    {
        ++positions;
        if (got.text == full) {
            ++complete;
            completeWarned += got.warning ? 1 : 0;
        } else if (got.warning) {
            ++wrongWarned;
        } else {
            ++wrongSilent;
        }
    }
};

void printTally(const QString& label, const Tally& t)
{
    out() << qSetFieldWidth(44) << Qt::left << label << qSetFieldWidth(0) << "positions " << t.positions
          << ", complete " << t.complete << " (warned " << t.completeWarned << "), wrong: warned "
          << t.wrongWarned << ", SILENT " << t.wrongSilent << "\n";
}

// One edge of a region around `box` (margin `clear` on the other sides)
// moved from `from` to `to` in 0.5 pt steps; `edge` 0 left, 1 right,
// 2 bottom (min y), 3 top (max y).
Tally sweep(const Sheet& sheet, const QRectF& box, int edge, double from, double to, const QString& full,
            double clear = 4)
{
    Tally t;
    for (double at = from; at <= to + 1e-9; at += 0.5) {
        QRectF r = box.adjusted(-clear, -clear, clear, clear);
        switch (edge) {
        case 0:
            r.setLeft(at);
            break;
        case 1:
            r.setRight(at);
            break;
        case 2:
            r.setTop(at);
            break;
        default:
            r.setBottom(at);
            break;
        }
        if (r.width() <= 3 || r.height() <= 3)
            continue;
        t.add(DocumentSafety::read(sheet.layer, sheet.crop, r), full);
    }
    return t;
}

void numberSweeps()
{
    const QString number = QStringLiteral("A-001");
    out() << "Number region over \"A-001\", one edge swept across the number in 0.5 pt steps\n";
    for (const double size : {36.0, 8.0, 12.0, 24.0, 40.0}) {
        for (const std::optional<int> rotate : {std::optional<int>(), std::optional<int>(90)}) {
            const Sheet sheet = sheetWith({{number, 200, 300, size}}, rotate);
            const QRectF box = sheet.built.boxOf(0, number);
            const QString at =
                QStringLiteral("%1 pt%2").arg(size).arg(rotate ? QStringLiteral(", /Rotate 90") : QString());
            printTally(QStringLiteral("  right edge, %1").arg(at),
                       sweep(sheet, box, 1, box.left() + 0.5, box.right(), number));
            if (size != 36.0)
                continue;
            printTally(QStringLiteral("  left edge, %1").arg(at),
                       sweep(sheet, box, 0, box.left(), box.right() - 0.5, number));
            printTally(QStringLiteral("  bottom edge, %1").arg(at),
                       sweep(sheet, box, 2, box.top(), box.bottom() - 0.5, number));
            printTally(QStringLiteral("  top edge, %1").arg(at),
                       sweep(sheet, box, 3, box.top() + 0.5, box.bottom(), number));
        }
    }
}

void titleSweeps()
{
    out() << "\nTitle region over \"GROUND FLOOR\" above \"PLAN\", bottom edge swept up across \"PLAN\"\n";
    for (const double size : {8.0, 12.0, 24.0, 40.0}) {
        const QString first = QStringLiteral("GROUND FLOOR");
        const QString second = QStringLiteral("PLAN");
        const Sheet sheet = sheetWith({{first, 200, 300, size}, {second, 200, 300 - 1.2 * size, size}});
        const QRectF firstBox = sheet.built.boxOf(0, first);
        const QRectF secondBox = sheet.built.boxOf(0, second);
        const QRectF both = firstBox.united(secondBox);
        printTally(QStringLiteral("  %1 pt").arg(size),
                   sweep(sheet, both, 2, secondBox.top(), secondBox.bottom() - 0.5,
                         QStringLiteral("GROUND FLOOR PLAN")));
    }
}

void neighbourGaps()
{
    out() << "\nNumber region ending d pt before the cell of \"REV\" on the same baseline (36 pt)\n  ";
    const QString number = QStringLiteral("A-001");
    const Sheet sheet = sheetWith({{number, 200, 300, 36}, {QStringLiteral("REV"), 340, 300, 36}});
    const QRectF box = sheet.built.boxOf(0, number);
    const QRectF rev = sheet.built.boxOf(0, QStringLiteral("REV"));
    for (const double d : {0.5, 1.0, 1.5, 1.9, 2.5, 3.0, 4.0}) {
        QRectF r = box.adjusted(-4, -4, 4, 4);
        r.setRight(rev.left() - d);
        const DocumentSafety::RegionText got = DocumentSafety::read(sheet.layer, sheet.crop, r);
        out() << "d=" << d << (got.warning ? " warned" : " silent") << "  ";
    }
    out() << "\n";
}

void carefulRegions()
{
    out()
        << "\nCareful regions: \"A-001\" alone, the region m pt outside its character cells on every side\n";
    const QString number = QStringLiteral("A-001");
    for (const double size : {8.0, 12.0, 24.0, 36.0, 40.0}) {
        const Sheet sheet = sheetWith({{number, 200, 300, size}});
        const QRectF box = sheet.built.boxOf(0, number);
        out() << "  " << size << " pt:";
        for (const double m : {0.5, 1.0, 2.0, 3.0, 5.0}) {
            const DocumentSafety::RegionText got =
                DocumentSafety::read(sheet.layer, sheet.crop, box.adjusted(-m, -m, m, m));
            out() << "  m=" << m << (got.text == number ? "" : " WRONG")
                  << (got.warning ? " warned" : " silent");
        }
        out() << "\n";
    }
    // The ink from Helvetica's glyph outlines: "A" starts 14/1000 em into
    // its cell, "1" ends 197/1000 em short of its advance, digits and
    // capitals stand on the baseline and reach 718/1000 em.
    out() << "The same, m pt outside the ink of the glyphs\n";
    for (const double size : {8.0, 12.0, 24.0, 36.0, 40.0}) {
        const Sheet sheet = sheetWith({{number, 200, 300, size}});
        const double em = size / 1000.0;
        const QRectF ink(QPointF(200 + 14 * em, 300),
                         QPointF(200 + Fixtures::textWidth(number, size) - 197 * em, 300 + 718 * em));
        out() << "  " << size << " pt:";
        for (const double m : {0.5, 1.0, 2.0, 3.0, 5.0}) {
            const DocumentSafety::RegionText got =
                DocumentSafety::read(sheet.layer, sheet.crop, ink.adjusted(-m, -m, m, m));
            out() << "  m=" << m << (got.text == number ? "" : " WRONG")
                  << (got.warning ? " warned" : " silent");
        }
        out() << "\n";
    }
}

void timing()
{
    const Fixtures::Built heavy = Fixtures::heavy(1);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(heavy.bytes);
    if (!document)
        return;
    const PdfPage page = *document->page(0);
    const PageText layer = page.textLayer();
    const QRectF crop = page.cropBox();
    const QRectF regions[] = {Fixtures::heavyNumberRegion(), Fixtures::heavyTitleRegion()};
    constexpr int rounds = 2000;
    int warned = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i) {
        for (const QRectF& r : regions)
            warned += DocumentSafety::read(layer, crop, r).warning ? 1 : 0;
    }
    const double us = double(timer.nsecsElapsed()) / 1e3 / (2.0 * rounds);
    // 2 regions x 500 pages is 1000 reads: as many milliseconds as one
    // read takes microseconds.
    out() << "\nOne region read on a heavy sheet (" << layer.allText().size()
          << " characters): " << QString::number(us, 'f', 1)
          << " us; 2 regions x 500 pages: " << QString::number(us, 'f', 1) << " ms (warned " << warned
          << ")\n";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    numberSweeps();
    titleSweeps();
    neighbourGaps();
    carefulRegions();
    timing();
    out().flush();
    return 0;
}
