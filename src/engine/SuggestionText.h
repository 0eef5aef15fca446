#pragma once

// The text of one page as region suggestions read it: runs of characters
// that sit on one baseline with no more than a word space between them,
// laid out as the sheet is seen (displayed page: crop box top-left origin,
// rotation applied, y down, points), and the title-block labels among them
// ("SHEET NO.", "DRAWING TITLE", "SCALE", …). A line that holds several
// labelled values ("Size: A4  Date: 2026-05-26") is cut into one run per
// label that ends with a colon, so each value keeps its own label.
//
// Built from the text layer's characters alone, never from its words or
// lines, so that text split into one word per glyph, or words run together
// by another producer, gives the same runs. Characters of lines that do not
// run left to right on the displayed sheet (vertical or upside-down text)
// are left out. Pure; any thread.

#include "PdfDocument.h"

#include <QList>
#include <QRectF>
#include <QString>
#include <QTransform>

namespace SuggestionText {

struct Glyph
{
    QChar ch;
    QRectF display; // displayed page
    QRectF user;    // user space
    int id = -1;    // its index in the layer's characters
};

// A label's meaning: what the value next to it is.
enum class Label { None, Number, Title, Other };

// A run of text on one baseline, cut into words where the gap is wider
// than a letter gap. `lead` leading words form a label of kind `leadLabel`
// ("DWG NO: A-101"); a run made only of a label has `lead` == words.size().
struct Run
{
    QList<Glyph> glyphs;
    QList<int> wordStarts; // index of each word's first glyph
    QList<QString> words;
    QRectF display;
    double height = 0; // median glyph height, points
    int lead = 0;
    Label leadLabel = Label::None;

    bool isLabel() const { return leadLabel != Label::None && lead == words.size(); }
};

// The part of a run after its leading label: the value a suggestion may
// pick, with its boxes.
struct Piece
{
    int run = -1;
    QString text; // words joined by one space
    QList<Glyph> glyphs;
    QRectF display;
    QRectF user;
    double height = 0;
    Label inlineLabel = Label::None; // the label in front of it on its run
};

struct Page
{
    QList<Run> runs;
    QList<Piece> pieces; // one per run that is not only a label
    QList<Glyph> glyphs; // every glyph kept, for testing regions
};

// The runs, labels and pieces of `layer`, with `display` the page's user
// space → displayed page transform (PdfPage::displayTransform).
Page read(const PageText& layer, const QTransform& display);

// The label a run of words starts with, and how many words it takes
// (0 when it starts with none). Words are compared in upper case without
// the punctuation around them ("No.:" reads as NO). A first word that is
// no known label but ends with a colon ("Company:") is a label of kind
// Other.
std::pair<Label, int> leadingLabel(const QList<QString>& words);

// Whether `text` looks like a sheet number: 2 to `longest` letters, digits
// and separators (- . _ / and at most two spaces), at least one digit, and
// not a date, "3 OF 12" or a path starting with "/".
// Hyphens may be typographic ones (U+2010, U+2011, U+2012, U+2013,
// U+2212); "FIGURE B" and "PLATE 3" count as well.
bool looksLikeNumber(const QString& text, int longest = 12);
// The characters a sheet number may hold besides letters and digits.
const QString& separators();
// Whether `text` is a plain page number ("1", "12", "3/4"), as schematic
// and mechanical title blocks print beside a caption ("Id:", "Sheet",
// "Page"): a sheet number only where such a caption names it.
bool looksLikePageNumber(const QString& text);
// How long a number may be where a number caption stands by it: numbers
// built of project, originator, level, type and role codes
// ("2417-ARC-ZZ-01-DR-A-1001") run past 20 characters.
constexpr int longestCaptionedNumber = 32;

} // namespace SuggestionText
