// Admission of opened documents and the page layout comparison that
// grouping is built on, through documents made by the fixture generator.

#include "DocumentSafety.h"
#include "Fixtures.h"
#include "PdfDocument.h"

#include <QtTest>

namespace {

const QString encrypted = QStringLiteral("Password-protected or encrypted PDFs are not supported.");
const QString noPages = QStringLiteral("The PDF has no readable pages.");
const QString tooMany = QStringLiteral(
    "This version supports up to 500 pages per document. Split this document into smaller batches first.");
const QString forms = QStringLiteral("Interactive forms and signature fields are not supported.");

Fixtures::Page plainPage()
{
    Fixtures::Page page;
    page.texts = {{QStringLiteral("A-101"), 72, 72, 12}};
    return page;
}

Fixtures::Document pages(int count)
{
    Fixtures::Document doc;
    for (int i = 0; i < count; ++i)
        doc.pages.append(plainPage());
    return doc;
}

// The outcome of admission for `bytes`: the message, "" when admitted, or
// "<unreadable>" when the bytes do not open.
QString admission(const QByteArray& bytes)
{
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(bytes);
    if (!document)
        return QStringLiteral("<unreadable>");
    return DocumentSafety::problem(*document).value_or(QString());
}

// A page with the given boxes and stored rotation; no crop box when absent.
Fixtures::Page pageLayout(const QRectF& media, int rotate = 0, std::optional<QRectF> crop = std::nullopt)
{
    Fixtures::Page page;
    page.mediaBox = media;
    page.cropBox = crop;
    page.rotate = rotate;
    return page;
}

} // namespace

Q_DECLARE_METATYPE(Fixtures::Document)
Q_DECLARE_METATYPE(Fixtures::Page)

class AdmissionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void problem_data();
    void problem();
    void layout_data();
    void layout();
};

void AdmissionTest::problem_data()
{
    QTest::addColumn<Fixtures::Document>("document");
    QTest::addColumn<QString>("message"); // "" when admitted

    QTest::newRow("plain page") << pages(1) << QString();

    Fixtures::Document user = pages(2);
    user.encryption = Fixtures::Document::UserPassword;
    QTest::newRow("user password") << user << encrypted;

    Fixtures::Document owner = pages(2);
    owner.encryption = Fixtures::Document::OwnerPasswordOnly;
    QTest::newRow("owner password only") << owner << encrypted;

    Fixtures::Document ownerWithWidget = pages(1);
    ownerWithWidget.encryption = Fixtures::Document::OwnerPasswordOnly;
    ownerWithWidget.pages[0].formWidget = true;
    QTest::newRow("encryption is told before widgets") << ownerWithWidget << encrypted;

    QTest::newRow("500 pages") << pages(500) << QString();
    QTest::newRow("501 pages") << pages(501) << tooMany;

    Fixtures::Document tooManyWithWidget = pages(501);
    tooManyWithWidget.pages[0].formWidget = true;
    QTest::newRow("501 pages, widget on page 1") << tooManyWithWidget << tooMany;

    Fixtures::Document formField = pages(3);
    formField.pages[2].formWidget = true;
    QTest::newRow("form field on the last page") << formField << forms;

    Fixtures::Document signature = pages(3);
    signature.pages[1].signatureWidget = true;
    QTest::newRow("signature field") << signature << forms;

    Fixtures::Document fieldsOnly = pages(2);
    fieldsOnly.acroFormWithoutWidgets = true;
    QTest::newRow("form fields without a widget") << fieldsOnly << forms;

    Fixtures::Document links = pages(2);
    links.pages[0].links = {{QRectF(10, 10, 50, 20), 1, Fixtures::Link::DestArray},
                            {QRectF(10, 40, 50, 20), 0, Fixtures::Link::Uri}};
    QTest::newRow("links are fine") << links << QString();

    Fixtures::Document note = pages(1);
    note.pages[0].textNote = true;
    QTest::newRow("text note is fine") << note << QString();
}

void AdmissionTest::problem()
{
    QFETCH(Fixtures::Document, document);
    QFETCH(QString, message);
    QCOMPARE(admission(Fixtures::build(document).bytes), message);
}

void AdmissionTest::layout_data()
{
    QTest::addColumn<Fixtures::Page>("a");
    QTest::addColumn<Fixtures::Page>("b");
    QTest::addColumn<bool>("match");

    const QRectF a1(0, 0, 2384, 1684);
    QTest::newRow("identical") << pageLayout(a1) << pageLayout(a1) << true;
    QTest::newRow("x 0.4, width 0.5") << pageLayout(a1) << pageLayout(QRectF(0.4, 0, 2384.5, 1684)) << true;
    QTest::newRow("width 0.6") << pageLayout(a1) << pageLayout(QRectF(0.4, 0, 2384.6, 1684)) << false;
    QTest::newRow("y 0.5") << pageLayout(a1) << pageLayout(QRectF(0, 0.5, 2384, 1684)) << true;
    QTest::newRow("y 0.6") << pageLayout(a1) << pageLayout(QRectF(0, 0.6, 2384, 1684)) << false;
    QTest::newRow("height 0.6") << pageLayout(a1) << pageLayout(QRectF(0, 0, 2384, 1684.6)) << false;
    QTest::newRow("same size, other origin") << pageLayout(a1) << pageLayout(QRectF(10, 10, 2384, 1684)) << false;
    QTest::newRow("portrait vs landscape") << pageLayout(a1) << pageLayout(QRectF(0, 0, 1684, 2384)) << false;

    QTest::newRow("0 vs 360") << pageLayout(a1, 0) << pageLayout(a1, 360) << true;
    QTest::newRow("90 vs -270") << pageLayout(a1, 90) << pageLayout(a1, -270) << true;
    QTest::newRow("90 vs 450") << pageLayout(a1, 90) << pageLayout(a1, 450) << true;
    QTest::newRow("-90 vs 270") << pageLayout(a1, -90) << pageLayout(a1, 270) << true;
    QTest::newRow("90 vs 270") << pageLayout(a1, 90) << pageLayout(a1, 270) << false;
    QTest::newRow("0 vs -180") << pageLayout(a1, 0) << pageLayout(a1, -180) << false;

    QTest::newRow("same media, other crop")
        << pageLayout(a1, 0, QRectF(0, 0, 2384, 1684)) << pageLayout(a1, 0, QRectF(20, 20, 2344, 1644)) << false;
    QTest::newRow("same media, crop 0.5 apart")
        << pageLayout(a1, 0, QRectF(20, 20, 2344, 1644)) << pageLayout(a1, 0, QRectF(20.5, 20, 2343.5, 1644)) << true;
    QTest::newRow("crop given equal to media") << pageLayout(a1, 0, a1) << pageLayout(a1) << true;
}

void AdmissionTest::layout()
{
    QFETCH(Fixtures::Page, a);
    QFETCH(Fixtures::Page, b);
    QFETCH(bool, match);

    Fixtures::Document doc;
    doc.pages = {a, b};
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(Fixtures::build(doc).bytes);
    QVERIFY(document);
    const std::optional<PdfPage> first = document->page(0);
    const std::optional<PdfPage> second = document->page(1);
    QVERIFY(first && second);
    QCOMPARE(DocumentSafety::layoutMatches(*first, *second), match);
    QCOMPARE(DocumentSafety::layoutMatches(*second, *first), match);
}

QTEST_GUILESS_MAIN(AdmissionTest)
#include "tst_admission.moc"
