#pragma once

// The PDF document service. One document over one shared, immutable byte
// buffer: qpdf reads the structure (boxes, stored /Rotate, annotations,
// encryption, page copies); poppler reads the text layer and renders, and is
// loaded from the same bytes only when first needed, so that admission can
// refuse hostile files before poppler parses them.
//
// Coordinates: every rectangle that crosses this interface is in the page's
// own unrotated user space, PDF points, y up (the space of /MediaBox).
//
// Threads: a document is used by one thread at a time. Each thread that
// needs one opens its own from the same bytes (cheap: the bytes are shared,
// never copied).
//
// Failures: no qpdf or poppler exception or type leaves this layer. Opening
// returns nullptr for bytes that are not a readable PDF; queries return
// empty results.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QTransform>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class PageText;
class PdfPage;

// Polled during long poppler work (text extraction, rendering); returning
// true abandons the work early. Called on the thread doing the work.
using AbortCheck = std::function<bool()>;

class PdfDocument
{
public:
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // Opens `bytes` (implicitly shared, not copied; the document keeps a
    // reference). nullptr when qpdf cannot read the structure, or when
    // qpdf and poppler disagree on the page count. A password-protected
    // file opens as a locked document.
    static std::unique_ptr<PdfDocument> open(const QByteArray& bytes);
    // Reads the whole file and opens it; nullptr when unreadable.
    static std::unique_ptr<PdfDocument> openFile(const QString& path);

    const QByteArray& bytes() const;

    // A password is needed to read the document.
    bool isLocked() const;
    // The document is encrypted (also with an owner password only).
    bool isEncrypted() const;
    // The document's /AcroForm has a non-empty /Fields array.
    bool hasFormFields() const;

    int pageCount() const;
    // The page at a zero-based index; nothing when out of range.
    std::optional<PdfPage> page(int index) const;

    // Writes page `index` alone into a new PDF, as bytes: the page with its
    // inherited attributes, boxes and stored rotation; links to other pages
    // dropped, unused resources removed, optional-content configuration
    // carried over. nothing when the page cannot be copied or written.
    std::optional<QByteArray> singlePagePdf(int index) const;

    // Internal state, shared with PdfPage.
    struct Impl;
    Impl& impl() const { return *d; }

private:
    explicit PdfDocument(std::unique_ptr<Impl> d);
    std::unique_ptr<Impl> d;
};

// A handle to one page of a document; valid while the document lives.
class PdfPage
{
public:
    int index() const { return m_index; }

    QRectF mediaBox() const;
    // The crop box clipped to the media box (as poppler shows it).
    QRectF cropBox() const;
    // /Rotate as stored (inherited if needed), not normalised: -90, 450, …
    int rotation() const;
    // Subtypes of the page's annotations without the slash ("Link",
    // "Widget"); an annotation without a subtype gives an empty string.
    QList<QString> annotationSubtypes() const;

    // The page's whole text as the text layer gives it; empty when none.
    QString text(const AbortCheck& abort = {}) const;
    // The text whose characters' centres lie inside `userRect`.
    QString text(const QRectF& userRect) const;
    // The page's text layer, taken once, for selecting many rectangles.
    PageText textLayer(const AbortCheck& abort = {}) const;

    // Renders the crop box with the stored rotation applied at `dpi`
    // (72 = one pixel a point), on white. Null image when aborted or failed.
    QImage render(double dpi, const AbortCheck& abort = {}) const;
    // Renders the part of the crop box inside `userRect`, scaled by `dpi`,
    // with the page's rotation applied.
    QImage renderRegion(const QRectF& userRect, double dpi, const AbortCheck& abort = {}) const;

    // User space → displayed page (crop box top-left origin, rotation
    // applied, y down, points). Its inverse is the way back.
    QTransform displayTransform() const;
    // Displayed size in points (width and height swapped for 90 and 270).
    QSizeF displaySize() const;

private:
    friend class PdfDocument;
    PdfPage(const PdfDocument* doc, int index) : m_doc(doc), m_index(index) {}
    const PdfDocument* m_doc;
    int m_index;
};

// A page's text layer, taken once: every character with its box in user
// space. Selecting a rectangle costs no PDF work.
class PageText
{
public:
    struct Char
    {
        QChar ch;
        QPointF centre; // user space
        bool spaceAfter = false;
        bool lineEnd = false;
    };
    struct Word
    {
        QString text;
        QRectF box; // user space
    };

    PageText() = default;
    PageText(QList<Char> chars, QList<Word> words) : m_chars(std::move(chars)), m_words(std::move(words)) {}

    // The characters whose centres lie inside `userRect`, in text-layer
    // order, with a space between words and a line break between lines.
    QString text(const QRectF& userRect) const;
    // The whole text in text-layer order.
    QString allText() const;
    const QList<Word>& words() const { return m_words; }
    bool aborted() const { return m_aborted; }
    void setAborted(bool a) { m_aborted = a; }

private:
    QList<Char> m_chars;
    QList<Word> m_words;
    bool m_aborted = false;
};
