// The fixture generator checked through independent tools (poppler-utils'
// pdftotext/pdfinfo and the qpdf command line), so that every suite built
// on its fixtures can trust the boxes, names and regions it reports.

#include "Fixtures.h"
#include "TestPaths.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace Fixtures;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
};

Run run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput())};
}

struct Word
{
    QString text;
    QRectF box; // pdftotext's top-left origin, y down
};

QList<Word> bboxWords(const QString& pdf)
{
    const Run r = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    QList<Word> words;
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (auto it = word.globalMatch(r.out); it.hasNext();) {
        const auto m = it.next();
        words.append({m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                            QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return words;
}

// Smallest distance between two rectangles (0 when they touch or overlap).
double gap(const QRectF& a, const QRectF& b)
{
    const double dx = qMax(0.0, qMax(a.left() - b.right(), b.left() - a.right()));
    const double dy = qMax(0.0, qMax(a.top() - b.bottom(), b.top() - a.bottom()));
    return std::hypot(dx, dy);
}

double margin(const QRectF& inner, const QRectF& outer)
{
    return qMin(qMin(inner.left() - outer.left(), outer.right() - inner.right()),
                qMin(inner.top() - outer.top(), outer.bottom() - inner.bottom()));
}

} // namespace

class TestFixtures : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QByteArray& bytes, const QString& name)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
        return path;
    }

    QString pdfinfo(const QString& path, const QStringList& extra = {})
    {
        return run(QStringLiteral("pdfinfo"), extra + QStringList{path}).out;
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // --- text and metrics --------------------------------------------------

    void placedBoxesMatchTheTextLayer()
    {
        Document doc;
        Page page;
        // Besides plain strings: character spacing, kerning in a TJ array,
        // glyph by glyph, and text turned on the page.
        page.texts = {{QStringLiteral("A-101"), 72, 700, 10},
                      {QStringLiteral("Wall"), 300.5, 120.25, 24},
                      {QStringLiteral("SPACED"), 72, 600, 20, 1.5},
                      {QStringLiteral("WAVE"), 72, 500, 20, 0, 0, Text::Kerned, {80, 30, 60}},
                      {QStringLiteral("LEVEL"), 72, 400, 20, 0, 0, Text::EachGlyph},
                      {QStringLiteral("N-7"), 400, 300, 20, 0, 90},
                      {QStringLiteral("S-8"), 500, 300, 20, 1, 270, Text::EachGlyph}};
        doc.pages = {page};
        const Built built = build(doc);
        const QString path = write(built.bytes, QStringLiteral("boxes.pdf"));

        const QList<Word> words = bboxWords(path);
        QCOMPARE(words.size(), page.texts.size());
        for (const Word& w : words) {
            const QRectF placed = built.boxOf(0, w.text);
            QVERIFY2(!placed.isNull(), qPrintable(w.text));
            // Flip to y down for the letter page, as pdftotext reports.
            const QRectF expected(QPointF(placed.left(), 792 - placed.bottom()),
                                  QPointF(placed.right(), 792 - placed.top()));
            QVERIFY2(qAbs(w.box.left() - expected.left()) < 1 && qAbs(w.box.right() - expected.right()) < 1 &&
                         qAbs(w.box.top() - expected.top()) < 1 &&
                         qAbs(w.box.bottom() - expected.bottom()) < 1,
                     qPrintable(QStringLiteral("%1: %2,%3 %4,%4")
                                    .arg(w.text)
                                    .arg(w.box.left())
                                    .arg(w.box.top())
                                    .arg(w.box.right())));
        }
        QCOMPARE(textWidth(QStringLiteral("A-101"), 10), 26.68); // 667+333+556+556+556 per mille
        QCOMPARE(built.boxOf(0, QStringLiteral("absent")), QRectF());
    }

    // Title-block sets show upright whatever the stored rotation: each line
    // of the block, the number drawn glyph by glyph included, reads whole
    // and in order, and lands where the generator says.
    void titleBlockSetsShowUpright_data()
    {
        QTest::addColumn<int>("rotate");
        for (const int r : {0, 90, 180, 270})
            QTest::addRow("rotate %d", r) << r;
    }
    void titleBlockSetsShowUpright()
    {
        QFETCH(int, rotate);
        TitleBlockSet set;
        set.layout = TitleBlockSet::RightStrip;
        set.rotate = rotate;
        set.glyphByGlyph = true;
        set.sheets = prefixedSheets(2);
        const Built built = titleBlockSet(set);
        const QString path = write(built.bytes, QStringLiteral("upright-%1.pdf").arg(rotate));
        const QString text =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), path, QStringLiteral("-")}).out;
        for (const SheetName& sheet : set.sheets) {
            QVERIFY2(text.contains(sheet.number), qPrintable(text));
            QVERIFY2(text.contains(sheet.titleLines.first()), qPrintable(text));
        }
        QVERIFY(pdfinfo(path).contains(QRegularExpression(QStringLiteral("Page rot:\\s+%1").arg(rotate))));
        // The number's box is the turned string's: long across the sheet as seen.
        const QRectF number = built.boxOf(0, set.sheets.first().number);
        const bool turned = rotate == 90 || rotate == 270;
        QVERIFY(turned ? number.height() > 4 * number.width() : number.width() > 4 * number.height());
    }

    void unicodeComesBackFromTheTextLayer()
    {
        Document doc;
        Page page;
        page.texts = {{QStringLiteral("Ä É ﬁ Ł − Straße"), 72, 700, 12}};
        doc.pages = {page};
        const QString path = write(build(doc).bytes, QStringLiteral("unicode.pdf"));
        const Run r = run(QStringLiteral("pdftotext"),
                          {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.trimmed(), QStringLiteral("Ä É ﬁ Ł − Straße"));
    }

    // --- page structure ----------------------------------------------------

    void inheritedAttributesAndRawRotation()
    {
        Document doc;
        Page inherits;
        inherits.mediaBox = std::nullopt;
        Page own;
        own.mediaBox = QRectF(-10, -20, 600, 400);
        own.rotate = -90;
        doc.pages = {inherits, own};
        doc.inheritedMediaBox = QRectF(0, 0, 842, 595);
        doc.inheritedRotate = 450;
        const QString path = write(build(doc).bytes, QStringLiteral("inherit.pdf"));

        const QString first = pdfinfo(
            path, {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("2")});
        QVERIFY(first.contains(QRegularExpression(QStringLiteral("Page +1 size: +842 x 595"))));
        QVERIFY(first.contains(QRegularExpression(QStringLiteral("Page +1 rot: +90"))));
        QVERIFY(first.contains(QRegularExpression(QStringLiteral("Page +2 size: +600 x 400"))));
        QVERIFY(first.contains(QRegularExpression(QStringLiteral("Page +2 rot: +270"))));

        // The values are stored as given; the first page has none of its own,
        // so each key appears twice: on the /Pages node and on the second page.
        const QString json =
            run(QStringLiteral("qpdf"), {QStringLiteral("--json"), QStringLiteral("--json-key=qpdf"), path})
                .out;
        QVERIFY(json.contains(QStringLiteral("\"/Rotate\": 450")));
        QVERIFY(json.contains(QStringLiteral("\"/Rotate\": -90")));
        QCOMPARE(json.count(QStringLiteral("\"/Rotate\"")), 2);
        QCOMPARE(json.count(QStringLiteral("\"/MediaBox\"")), 2);
    }

    void encryptionAndBrokenFiles()
    {
        Document doc;
        doc.pages = {Page()};
        doc.encryption = Document::UserPassword;
        const QString locked = write(build(doc).bytes, QStringLiteral("locked.pdf"));
        QVERIFY(run(QStringLiteral("pdfinfo"), {locked}).exitCode != 0);
        QVERIFY(pdfinfo(locked, {QStringLiteral("-upw"), QStringLiteral("user")})
                    .contains(QStringLiteral("Encrypted:       yes")));

        doc.encryption = Document::OwnerPasswordOnly;
        const QString owner = write(build(doc).bytes, QStringLiteral("owner.pdf"));
        QVERIFY(pdfinfo(owner).contains(QStringLiteral("Encrypted:       yes")));

        const QString zero = write(zeroPages(), QStringLiteral("zero.pdf"));
        QCOMPARE(run(QStringLiteral("qpdf"), {QStringLiteral("--show-npages"), zero}).out.trimmed(),
                 QStringLiteral("0"));

        doc.encryption = Document::None;
        const QByteArray valid = build(doc).bytes;
        const QString broken = write(damaged(valid), QStringLiteral("damaged.pdf"));
        QCOMPARE(damaged(valid).size(), valid.size());
        QVERIFY(run(QStringLiteral("qpdf"), {QStringLiteral("--show-npages"), broken}).exitCode != 0);
        QCOMPARE(truncated(valid, 100), valid.left(100));
    }

    // --- sample and heavy sets ---------------------------------------------

    void committedSampleIsReproducible()
    {
        QFile file(TestPaths::samplePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll() == sample().bytes,
                 "samples/drawing-set.pdf differs from a fresh sample(); run fixturegen sample");
    }

    void repeatedLogoSheetsDrawOneLargeImageManyTimes()
    {
        const Built built = repeatedLogo(2);
        const QString path = write(built.bytes, QStringLiteral("logo.pdf"));
        // One line per drawing of an image: page, number, type, width,
        // height, colour, components, bits, encoding, interpolation, object.
        const QStringList lines = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path})
                                      .out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                      .mid(2);
        QMap<int, int> drawsPerPage;
        QSet<QString> objects;
        for (const QString& line : lines) {
            const QStringList f = line.simplified().split(QLatin1Char(' '));
            QVERIFY2(f.size() >= 11, qPrintable(line));
            ++drawsPerPage[f[0].toInt()];
            QCOMPARE(f[3].toInt(), repeatedLogoPixels().width());
            QCOMPARE(f[4].toInt(), repeatedLogoPixels().height());
            QCOMPARE(f[5], QStringLiteral("rgb"));
            QCOMPARE(f[8], QStringLiteral("jpeg"));
            objects.insert(f[10]);
        }
        QCOMPARE(drawsPerPage.value(1), 120);
        QCOMPARE(drawsPerPage.value(2), 120);
        QCOMPARE(objects.size(), 1); // the same image object every time
        for (int page = 0; page < 2; ++page) {
            QVERIFY(repeatedLogoNumberRegion().contains(built.boxOf(page, heavyNumber(page))));
            QVERIFY(repeatedLogoTitleRegion().contains(built.boxOf(page, heavyTitle(page))));
        }
        QCOMPARE(pdfinfo(path).contains(QStringLiteral("3024 x 2160 pts")), true);
    }

    void sampleSheetsAreReadableAtTheirRegions()
    {
        const QList<SampleSheet> sheets = sampleSheets();
        const Built built = sample();
        QCOMPARE(sheets.size(), 12);
        QCOMPARE(sheets.first().group, 0);
        QCOMPARE(
            std::count_if(sheets.begin(), sheets.end(), [](const SampleSheet& s) { return s.group == 0; }),
            9);
        QCOMPARE(
            std::count_if(sheets.begin(), sheets.end(), [](const SampleSheet& s) { return s.imageOnly; }), 1);
        QCOMPARE(std::count_if(sheets.begin(), sheets.end(),
                               [](const SampleSheet& s) { return s.titleBlockElsewhere; }),
                 1);
        for (int g : {0, 1})
            QVERIFY(!sampleNumberRegion(g).intersects(sampleTitleRegion(g)));
        QVERIFY(!sampleElsewhereNumberRegion().intersects(sampleElsewhereTitleRegion()));

        for (const SampleSheet& s : sheets) {
            QList<Placed> onPage;
            for (const Placed& p : built.placed) {
                if (p.page == s.page)
                    onPage.append(p);
            }
            if (s.imageOnly) {
                QVERIFY(onPage.isEmpty());
                continue;
            }
            const QRectF numberRegion =
                s.titleBlockElsewhere ? sampleElsewhereNumberRegion() : sampleNumberRegion(s.group);
            const QRectF titleRegion =
                s.titleBlockElsewhere ? sampleElsewhereTitleRegion() : sampleTitleRegion(s.group);
            QStringList inTitle;
            for (const Placed& p : onPage) {
                if (numberRegion.contains(p.box)) {
                    QCOMPARE(p.text, s.number);
                    QVERIFY(margin(p.box, numberRegion) >= 5);
                } else if (titleRegion.contains(p.box)) {
                    inTitle.append(p.text);
                    QVERIFY(margin(p.box, titleRegion) >= 5);
                } else {
                    QVERIFY2(gap(p.box, numberRegion) >= 10 && gap(p.box, titleRegion) >= 10,
                             qPrintable(
                                 QStringLiteral("page %1: \"%2\" is near a region").arg(s.page).arg(p.text)));
                }
            }
            QCOMPARE(inTitle.join(QLatin1Char(' ')), s.title);
        }
    }

    void sampleTextLayerHoldsTheNames()
    {
        const QString path = write(sample().bytes, QStringLiteral("sample.pdf"));
        const QList<SampleSheet> sheets = sampleSheets();
        for (const SampleSheet& s : sheets) {
            const QString n = QString::number(s.page + 1);
            const QString text =
                run(QStringLiteral("pdftotext"),
                    {QStringLiteral("-f"), n, QStringLiteral("-l"), n, path, QStringLiteral("-")})
                    .out;
            if (s.imageOnly) {
                QVERIFY(text.trimmed().isEmpty());
            } else {
                QVERIFY2(text.contains(s.number), qPrintable(s.number));
            }
        }
    }

    void heavyHasOneSheetPerPage()
    {
        const Built built = heavy(2);
        const QString path = write(built.bytes, QStringLiteral("heavy.pdf"));
        QVERIFY(pdfinfo(path).contains(QRegularExpression(QStringLiteral("Pages: +2\\n"))));
        QVERIFY(heavyNumber(0) != heavyNumber(1));
        QVERIFY(heavyTitle(0) != heavyTitle(1));
        QVERIFY(heavyNumberRegion().contains(built.boxOf(1, heavyNumber(1))));
        QVERIFY(heavyTitleRegion().contains(built.boxOf(1, heavyTitle(1))));
        const int strings = int(std::count_if(built.placed.begin(), built.placed.end(),
                                              [](const Placed& p) { return p.page == 0; }));
        QVERIFY(strings >= 280 && strings <= 320);
    }
};

QTEST_GUILESS_MAIN(TestFixtures)
#include "tst_fixtures.moc"
