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
#include <QString>
#include <QTransform>

#include <functional>
#include <memory>
#include <optional>

class PageText;
class PdfPage;

// The text layer and rendering are done by a helper process (see
// PdfHelper.h), so that a hostile or broken file can cost at most one
// page's answer. These are its limits: the helper's address space, and how
// long one page's text or one render may take before the helper is killed
// and the page counts as unreadable. Process-wide; any thread. Tests
// shorten the limits and point `program` at a helper that misbehaves.
struct PdfHelperSettings
{
    QString program; // empty: planfolio-pdf-helper beside this executable
    qint64 memoryBytes = 1LL << 30;
    double textSeconds = 30;
    double renderSeconds = 10;
};
PdfHelperSettings pdfHelperSettings();
void setPdfHelperSettings(const PdfHelperSettings& settings);

// Polled during long poppler work (text extraction, rendering); returning
// true abandons the work early. Called on the thread doing the work.
using AbortCheck = std::function<bool()>;

class PdfDocument
{
public:
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // Largest file openFile() reads by default, in bytes.
    static constexpr qint64 defaultMaxFileBytes = 256LL * 1024 * 1024;

    // Opens `bytes` (implicitly shared, not copied; the document keeps a
    // reference). Only qpdf reads the file here, so that admission can
    // refuse hostile files before poppler parses them: nullptr when qpdf
    // cannot read the structure or the page tree. A password-protected file
    // opens as a locked document (isLocked() and isEncrypted() true, no
    // pages). Any thread; the document is then used by one thread at a time.
    static std::unique_ptr<PdfDocument> open(const QByteArray& bytes);
    // Reads the whole file (at most `maxBytes`; a larger one is refused)
    // and opens it; nullptr when unreadable, too large or not a PDF.
    static std::unique_ptr<PdfDocument> openFile(const QString& path, qint64 maxBytes = defaultMaxFileBytes);

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

    // Loads the text and rendering layer (poppler) from the same bytes, if
    // not yet done, and tells whether it is usable. Text queries and
    // rendering load it on first use anyway; the open flow calls this right
    // after admission so that a file is refused early when the two readers
    // disagree. False when the document is locked, poppler cannot load it,
    // or poppler counts a different number of pages than pageCount(): page
    // i would then not be the same page for both, so text queries give
    // empty results and renders null images. The answer never changes once
    // given. Can take as long as poppler needs to parse the file.
    //
    // When poppler cannot load the bytes, counts other pages, or later
    // cannot build one of the pages, the service tries once to recover: qpdf
    // rewrites the document in memory (repairing what it can, and dropping
    // page entries of a type poppler refuses to build a page with) and
    // poppler is given that copy for text and display alike. The copy is
    // never written to disk; page copies and exports use the original.
    bool loadTextLayer() const;

    // Writes page `index` alone into a new PDF, as bytes: the page with its
    // inherited attributes, boxes and stored rotation; links to other pages
    // dropped (a link to the page itself and web links stay), resources the
    // page does not use removed, the optional-content configuration carried
    // over for the layers the page uses (a hidden layer stays hidden). The
    // same page gives the same bytes every time. Uses qpdf only; the
    // document's own bytes are never changed. Nothing when the index is out
    // of range, the document is locked, or the page cannot be copied or
    // written.
    std::optional<QByteArray> singlePagePdf(int index) const;

    // An entry of the document outline (a bookmark) that opens a page.
    struct Bookmark
    {
        QString title; // as stored, surrounding white space trimmed
        int page = 0;  // zero-based
    };
    // Every outline entry that opens a page of this document, in outline
    // order (depth first), whatever its depth; entries without a
    // destination, or with one outside the document, are left out. Reads
    // the structure with qpdf only (milliseconds). Empty for a locked
    // document, one without an outline, or an outline qpdf cannot follow.
    QList<Bookmark> bookmarks() const;
    // From now on, a render at up to one of `pixelsPerPoint` (dpi / 72)
    // is made from a display copy of the document whose large images are
    // reduced, once, to the least of them that is not below the render's
    // (poppler otherwise decodes and scales a large image in full at every
    // place it is drawn, whatever the resolution). Each image is reduced at
    // the largest size it is drawn. Renders finer than every copy, text,
    // and page copies use the original bytes. A copy is made in memory on
    // the first render that can use it (a qpdf pass over the pages that
    // draw large images; none when no page does) and shared with other
    // documents over the same bytes; when it cannot be made or shown,
    // renders come from the original. Call before rendering; an empty
    // list turns copies off.
    void useDisplayCopies(QList<double> pixelsPerPoint);

    // This document's helper processes run behind everything at the usual
    // CPU priority (nice 10): for work done while a person waits on the
    // window, such as page images, so that on a busy machine the window's
    // own thread comes first. Now and for helpers started later.
    void runHelpersInBackground();

    // Internal state, shared with PdfPage; defined privately in src/pdf.
    struct Impl;
    Impl& impl() const { return *d; }

private:
    explicit PdfDocument(std::unique_ptr<Impl> d);
    std::unique_ptr<Impl> d;
};

// A handle to one page of a document: valid while the document lives, used
// on the thread that uses the document. Every rectangle is in user space.
// Text and rendering load poppler on first use (see loadTextLayer()); when
// it is not available they give empty text and null images.
class PdfPage
{
public:
    int index() const { return m_index; }

    // The media box, own or inherited, normalised; US Letter when the page
    // has no usable one (as poppler assumes).
    QRectF mediaBox() const;
    // The crop box (own, inherited, else the media box) with each edge
    // clamped into the media box, as poppler clips it.
    QRectF cropBox() const;
    // /Rotate as stored (inherited if needed), not normalised: -90, 450, …
    int rotation() const;
    // Subtypes of the page's annotations without the slash ("Link",
    // "Widget"); an annotation without a subtype gives an empty string.
    QList<QString> annotationSubtypes() const;

    // A string the page draws as ink and names in a comment: AutoCAD's
    // plotter adds one /Square annotation titled "AutoCAD SHX Text" for each
    // string it draws with a stroke font, the string in /Contents and its box
    // in /Rect.
    struct TextComment
    {
        QString text; // surrounding white space trimmed
        QRectF rect;  // user space, normalised
    };
    // The page's "AutoCAD SHX Text" comments in /Annots order; those with
    // an empty string or a box without area are left out, other
    // annotations are never text. qpdf only; empty when the page has none
    // or its annotations cannot be read.
    QList<TextComment> shxTextComments() const;

    // The page's whole text in text-layer order, words set apart by spaces
    // and lines by line breaks. Empty when there is none or when `abort`
    // fired. Interprets the page once.
    QString text(const AbortCheck& abort = {}) const;
    // The text inside `userRect`, selected from the page's text layer as
    // PageText::text() does; the layer of the page last asked is kept, so
    // reading several rectangles of one page interprets it once.
    QString text(const QRectF& userRect) const;
    // The same selection made by poppler itself, which interprets the whole
    // page again for this one rectangle (far slower). Kept as the reference
    // the in-memory selection is checked against. Empty for a rectangle
    // without area.
    QString referenceText(const QRectF& userRect) const;
    // The page's text layer, taken once (one interpretation of the page),
    // for selecting many rectangles. Marked aborted, and empty, when
    // `abort` fired; marked failed, and empty, when the text library could
    // not take it (it cannot build the page, even from the repaired copy;
    // the helper crashed or broke its memory or time limit). Polls `abort`
    // at least every 20 ms and returns within half a second of it firing.
    // The layer includes the page's SHX text comments (see
    // PageText::withComments()), so every user of the layer sees them.
    PageText textLayer(const AbortCheck& abort = {}) const;
    // Gives the characters of `layer` (this page's text layer) the drawn
    // extent of their glyphs, from the font outlines as the page draws
    // them (PageText::attachInk). Interprets the page once more, drawing
    // nothing. False, and `layer` unchanged, when aborted or when the page
    // cannot be interpreted.
    bool attachInk(PageText& layer, const AbortCheck& abort = {}) const;

    // Renders the crop box with the stored rotation applied at `dpi`
    // (72 = one pixel a point), on white: displaySize() × dpi / 72 pixels.
    // Null image when aborted or failed; `failed`, when given, tells the
    // second from the first (the page cannot be displayed).
    QImage render(double dpi, const AbortCheck& abort = {}, bool* failed = nullptr) const;
    // Renders the part of the crop box inside `userRect` as displayed
    // (rotation applied), at `dpi`: the whole pixels of render(dpi) that
    // cover it, so its top-left pixel is displayTransform() of the
    // rectangle (clipped to the crop box), scaled and rounded down. Null
    // when the rectangle misses the crop box, `dpi` is not positive, or the
    // work was aborted or failed (`failed` as for render()).
    QImage renderRegion(const QRectF& userRect, double dpi, const AbortCheck& abort = {},
                        bool* failed = nullptr) const;

    // User space → displayed page (crop box top-left origin, rotation
    // applied, y down, points): the one mapping shared by text selection,
    // rendering and the page view. Its inverse is the way back. The stored
    // rotation counts modulo 360; a value that is not a multiple of 90
    // shows unrotated, as in poppler.
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
// space. Selecting a rectangle costs no PDF work. A plain value: copy it
// freely, use it on any thread.
class PageText
{
public:
    struct Char
    {
        QChar ch;
        QPointF centre;          // user space
        bool spaceAfter = false; // the character ends a word followed by a space
        bool lineEnd = false;    // the character ends a line
        int line = 0;            // running number of the character's line
        QRectF box;              // user space; the character's cell
    };
    struct Word
    {
        QString text;
        QRectF box; // user space
    };
    // One drawn glyph: the bounding box of its outline, and a point on its
    // baseline halfway along its advance (so inside the cell of the
    // character it draws), both in user space.
    struct Glyph
    {
        QRectF ink;
        QPointF anchor;
    };
    // What lies at a rectangle's border (see edgeFindings()).
    struct EdgeFinding
    {
        bool cut = false;   // the border cuts it; else it lies close outside
        qsizetype index = 0; // the character
        QRectF box;         // user space: its ink, or its cell where no ink is known
    };

    PageText() = default;
    // `chars` in text-layer order, each line's characters together and the
    // lines numbered from 0 upward.
    PageText(QList<Char> chars, QList<Word> words);

    // The text inside `userRect` (user space), selected and laid out as
    // poppler's Page::text(rect) does: a line counts when the middle of its
    // height lies inside the rectangle, and from it the run of characters
    // whose centres lie inside; runs are ordered as the text reads (top to
    // bottom, then along the text), runs on one line are set apart by
    // spaces that keep their columns, lines are separated by line breaks,
    // and a selection of several lines ends with one. Words are set apart
    // where the layer says so and also where two characters of a line lie
    // a space apart beyond the line's usual gap (poppler joins a line made
    // only of one-character words, "A - A", as if it were letter-spaced).
    // Otherwise, for text running in one direction, the result equals
    // poppler's; where directions mix, the order follows the page's main
    // direction. Empty for a rectangle without area.
    QString text(const QRectF& userRect) const;
    // Whether text lies at the border of `userRect` (user space) in a way
    // that can make text(userRect) miss part of what the user meant: a
    // character the selection leaves out has its cell inside the
    // rectangle or within `margin` points outside it (a glyph or a line
    // cut by the border, or other text close by); the border runs through
    // the middle of a character the selection takes (cells are taller and
    // wider than the ink, so their outer parts do not count); or the
    // selection takes part of a word and leaves the rest. False for a
    // rectangle without area. One pass over the lines near the rectangle.
    bool textAtEdges(const QRectF& userRect, double margin) const;
    // The characters behind textAtEdges(), each once. Where the layer has
    // ink (attachInk()), a character's drawn extent is judged instead of
    // its cell: a taken character whose ink leaves the rectangle, a left
    // one whose ink lies inside it or within `margin` outside, and a word
    // split by the border. Characters without ink keep the cell rule.
    QList<EdgeFinding> edgeFindings(const QRectF& userRect, double margin) const;
    // Gives each character the union of the glyphs whose anchor lies in
    // its cell (the nearest cell's when cells overlap); characters that no
    // glyph matches (Type 3 fonts, text without outlines) keep their cell.
    void attachInk(const QList<Glyph>& glyphs);
    bool hasInk() const { return !m_ink.isEmpty(); }
    // The character's ink, or its cell when it has none.
    QRectF inkOf(qsizetype i) const;
    // The word (characters up to the nearest spaces on its line) that
    // character `i` belongs to.
    QString wordAt(qsizetype i) const;
    // The text of characters first..last of one line, words set apart by
    // single spaces, extended to whole words at both ends.
    QString wordsBetween(qsizetype first, qsizetype last) const;
    // This layer with the strings of `comments` added, one line each, after
    // its own lines: each string is laid along its box as shown on the page
    // (`toDisplay`: user space → displayed page), across when the box is at
    // least as wide as tall or the string has one or two characters, else
    // running up; its characters (spaces included) take equal parts of that
    // side and the whole box across, one word per space-separated piece. A
    // comment whose string the layer already holds inside its box is left
    // out. The flags below are carried over.
    PageText withComments(const QList<PdfPage::TextComment>& comments, const QTransform& toDisplay) const;
    // The whole text in text-layer order.
    QString allText() const;
    // Every character in text-layer order (see the constructor).
    const QList<Char>& chars() const { return m_chars; }
    const QList<Word>& words() const { return m_words; }
    // The work was abandoned through its abort check: the layer is empty
    // and says nothing about the page.
    bool aborted() const { return m_aborted; }
    void setAborted(bool a) { m_aborted = a; }
    // The text library could not take this page's layer (it could not
    // build the page, broke a limit, or stopped working). Empty, and not
    // to be taken for a page without text.
    bool failed() const { return m_failed; }
    void setFailed(bool f) { m_failed = f; }

    // A compact encoding of the characters and words (boxes kept to float
    // precision, about 20 bytes a character), for keeping a document's
    // layers in memory and for passing them between processes. The flags
    // above are not encoded.
    QByteArray toBytes() const;
    // The layer encoded by toBytes(); nothing when `bytes` is not such an
    // encoding.
    static std::optional<PageText> fromBytes(const QByteArray& bytes);

private:
    // One line of the layer: its characters m_chars[first..last], the
    // direction the text runs in (a unit axis vector in user space) and
    // its extent across that direction (see PageText.cpp).
    struct Line
    {
        qsizetype first = 0;
        qsizetype last = -1;
        QPointF direction;
        double top = 0;
        double bottom = 0;
        QRectF bounds; // user space: every character's cell
    };
    void findSpaces();

    QList<Char> m_chars;
    QList<Word> m_words;
    QList<Line> m_lines;
    // Derived from m_chars by the constructor: whether a space follows
    // character i within its line (the layer's word boundary, or a gap).
    QList<bool> m_spaceAfter;
    // Drawn extents, one per character (null where no glyph matched);
    // empty until attachInk().
    QList<QRectF> m_ink;
    // The line of each character (index into m_lines).
    QList<qsizetype> m_lineOf;
    QPointF m_primary{1, 0}; // the direction most of the text runs in
    bool m_aborted = false;
    bool m_failed = false;
};
