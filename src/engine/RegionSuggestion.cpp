#include "RegionSuggestion.h"

#include "DocumentSafety.h"
#include "KeptLayers.h"
#include "PageParallel.h"
#include "SuggestionText.h"
#include "TitleBlock.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <vector>

// Everything here works on the pages as they are seen (display space, y
// down) to judge places, labels and sizes, and in user space to build the
// regions, since regions and the read live there.

namespace RegionSuggestion {

namespace {

using SuggestionText::Glyph;
using SuggestionText::Label;
using SuggestionText::Piece;

struct Analysed
{
    const PageInput* input = nullptr;
    SuggestionText::Page page;
    QSet<int> furniture; // runs that stand alike on every page
};

// A candidate on one page: a piece for a number, a block of stacked
// pieces for a title.
struct Candidate
{
    int page = -1; // position in the analysed pages
    QString text;
    QList<Glyph> glyphs;
    QRectF display;
    QRectF user;
    double height = 0; // of its first line
    Label label = Label::None;
};

// Candidates at the same place on different pages.
struct Slot
{
    QList<Candidate> members;
    double score = 0;

    QRectF display() const
    {
        QRectF r;
        for (const Candidate& c : members)
            r = r.isNull() ? c.display : r.united(c.display);
        return r;
    }
    double medianHeight() const
    {
        QList<double> h;
        for (const Candidate& c : members)
            h.append(c.height);
        std::sort(h.begin(), h.end());
        return h.isEmpty() ? 0 : h.at(h.size() / 2);
    }
    double share(Label label) const
    {
        int n = 0;
        for (const Candidate& c : members)
            n += c.label == label ? 1 : 0;
        return members.isEmpty() ? 0 : double(n) / double(members.size());
    }
    int distinctTexts() const
    {
        QSet<QString> texts;
        for (const Candidate& c : members)
            texts.insert(c.text);
        return int(texts.size());
    }
};

bool overlapsAcross(double a0, double a1, double b0, double b1)
{
    return a0 < b1 && b0 < a1;
}

bool similarHeights(double a, double b, double ratio)
{
    return std::max(a, b) <= ratio * std::min(a, b);
}

double gapBetween(const QRectF& a, const QRectF& b)
{
    const double dx = std::max({0.0, b.left() - a.right(), a.left() - b.right()});
    const double dy = std::max({0.0, b.top() - a.bottom(), a.top() - b.bottom()});
    return std::hypot(dx, dy);
}

Candidate fromPiece(const Analysed& page, int position, const Piece& piece, const TitleBlock::Rules& rules = {})
{
    Candidate c;
    c.page = position;
    c.text = piece.text;
    c.glyphs = piece.glyphs;
    c.display = piece.display;
    c.user = piece.user;
    c.height = piece.height;
    c.label = TitleBlock::captionOf(page.page, piece.display, piece.height, piece.inlineLabel, rules);
    return c;
}

// Groups candidates of different pages that sit at the same place, as
// `samePlace` decides against a slot's first member.
template <typename SamePlace> QList<Slot> slotsOf(const QList<Candidate>& candidates, SamePlace samePlace)
{
    QList<Slot> slots;
    for (const Candidate& c : candidates) {
        int best = -1;
        double bestCost = 0;
        for (int s = 0; s < slots.size(); ++s) {
            const Slot& slot = slots[s];
            if (slot.members.last().page == c.page)
                continue;
            const std::optional<double> cost = samePlace(slot.members.first(), c);
            if (cost && (best < 0 || *cost < bestCost)) {
                best = s;
                bestCost = *cost;
            }
        }
        if (best >= 0)
            slots[best].members.append(c);
        else
            slots.append(Slot{{c}, 0});
    }
    return slots;
}

// Slots seen on enough pages, with texts that change from page to page.
QList<Slot> recurring(QList<Slot> slots, int pagesWithText)
{
    // Most pages of a group carry its title block; a few may have it
    // elsewhere or not at all.
    const int needed = std::max(1, int(std::ceil(0.7 * pagesWithText)));
    slots.removeIf([&](const Slot& s) {
        return s.members.size() < needed || (pagesWithText >= 2 && s.distinctTexts() < 2);
    });
    return slots;
}

std::optional<Slot> best(const QList<Slot>& slots)
{
    const auto it = std::max_element(slots.begin(), slots.end(),
                                     [](const Slot& a, const Slot& b) { return a.score < b.score; });
    if (it == slots.end())
        return std::nullopt;
    return *it;
}

// The displayed sheet of the group's pages (all of one layout).
QRectF sheetOf(const QList<Analysed>& pages)
{
    return pages.first().input->displayTransform.mapRect(pages.first().input->cropBox);
}

// The page number in `piece`, when it is one: the whole piece ("3",
// "3/4"), or the first word of "3 of 11".
std::optional<Piece> pageNumberOf(const Piece& piece)
{
    if (SuggestionText::looksLikePageNumber(piece.text))
        return piece;
    const QStringList words = piece.text.split(QLatin1Char(' '));
    if (words.size() != 3 || words[1].compare(QStringLiteral("of"), Qt::CaseInsensitive) != 0 ||
        !SuggestionText::looksLikePageNumber(words[0]) || !SuggestionText::looksLikePageNumber(words[2]))
        return std::nullopt;
    Piece first = piece;
    first.text = words[0];
    first.glyphs = piece.glyphs.mid(0, words[0].size());
    first.display = QRectF();
    first.user = QRectF();
    for (const Glyph& g : std::as_const(first.glyphs)) {
        first.display = first.display.isNull() ? g.display : first.display.united(g.display);
        first.user = first.user.isNull() ? g.user : first.user.united(g.user);
    }
    return first;
}

// The places that may hold the sheet number, best first.
QList<Slot> numberSlots(const QList<Analysed>& pages, int pagesWithText)
{
    QList<Candidate> candidates;
    for (int p = 0; p < pages.size(); ++p) {
        for (const Piece& piece : pages[p].page.pieces) {
            if (piece.inlineLabel != Label::None && piece.inlineLabel != Label::Number)
                continue;
            if (SuggestionText::looksLikeNumber(piece.text)) {
                candidates.append(fromPiece(pages[p], p, piece));
            } else if (const std::optional<Piece> page = pageNumberOf(piece)) {
                // Schematic and mechanical blocks number their sheets as
                // pages: only a caption makes such a number the sheet's.
                const Candidate c = fromPiece(pages[p], p, *page);
                if (c.label == Label::Number)
                    candidates.append(c);
            } else if (SuggestionText::looksLikeNumber(piece.text, SuggestionText::longestCaptionedNumber)) {
                // A long code counts only under its caption.
                const Candidate c = fromPiece(pages[p], p, piece);
                if (c.label == Label::Number)
                    candidates.append(c);
            }
        }
    }
    QList<Slot> slots =
        recurring(slotsOf(candidates,
                          [](const Candidate& a, const Candidate& b) -> std::optional<double> {
                              const double big = std::max(a.height, b.height);
                              const double dy = std::abs(a.display.bottom() - b.display.bottom());
                              if (!similarHeights(a.height, b.height, 1.3) || dy > 0.35 * big ||
                                  !overlapsAcross(a.display.left(), a.display.right(), b.display.left(),
                                                  b.display.right()))
                                  return std::nullopt;
                              return dy + 0.01 * std::abs(a.display.left() - b.display.left());
                          }),
                  pagesWithText);
    // One page cannot show what changes from page to page: there only a
    // caption tells the number apart from other numbers.
    if (pagesWithText == 1)
        slots.removeIf([](const Slot& s) { return s.share(Label::Number) == 0; });
    const QRectF sheet = sheetOf(pages);
    double tallest = 0;
    for (const Slot& s : std::as_const(slots))
        tallest = std::max(tallest, s.medianHeight());
    for (Slot& s : slots) {
        int withLetters = 0;
        for (const Candidate& c : std::as_const(s.members)) {
            const bool letter =
                std::any_of(c.text.begin(), c.text.end(), [](QChar ch) { return ch.isLetter(); });
            withLetters += letter ? 1 : 0;
        }
        const double n = double(s.members.size());
        // Title blocks sit at the sheet's edges.
        const QRectF at = s.display();
        const double edge = std::min({at.left() - sheet.left(), sheet.right() - at.right(),
                                      at.top() - sheet.top(), sheet.bottom() - at.bottom()});
        const double byEdge =
            1 - std::clamp(edge / (0.2 * std::min(sheet.width(), sheet.height())), 0.0, 1.0);
        s.score = 2 * n / pagesWithText + 2 * s.distinctTexts() / n + 3 * s.share(Label::Number) -
                  2 * s.share(Label::Title) - 2 * s.share(Label::Other) + s.medianHeight() / tallest +
                  0.5 * withLetters / n + 1.5 * byEdge;
    }
    std::stable_sort(slots.begin(), slots.end(),
                     [](const Slot& a, const Slot& b) { return a.score > b.score; });
    return slots;
}

// Stacks of pieces on one page: lines of similar height, aligned on their
// left edges, centres or right edges, each close under the one before,
// with no ruled line between them (a person reads one cell). Furniture
// (lines alike on every page) never starts a title, since the client,
// project and address above a title are not part of it; it may end one
// ("... CURB RAMP SLOPE CHECK" under a street name), and a title caption
// makes it a title like any other line.
QList<Candidate> blocksOf(const Analysed& page, int position, const QRectF& exclude, const TitleBlock::Rules& rules)
{
    QList<const Piece*> pieces;
    for (const Piece& piece : page.page.pieces) {
        const int letters =
            int(std::count_if(piece.text.begin(), piece.text.end(), [](QChar c) { return c.isLetter(); }));
        if (piece.inlineLabel == Label::Other || piece.inlineLabel == Label::Number || letters < 3 ||
            piece.display.intersects(exclude))
            continue;
        pieces.append(&piece);
    }
    std::sort(pieces.begin(), pieces.end(),
              [](const Piece* a, const Piece* b) { return a->display.top() < b->display.top(); });
    const auto furnitureOf = [&](const Piece* piece) {
        return page.furniture.contains(piece->run) &&
               TitleBlock::captionOf(page.page, piece->display, piece->height, piece->inlineLabel, rules) !=
                   Label::Title;
    };
    QList<QList<const Piece*>> stacks;
    for (const Piece* piece : std::as_const(pieces)) {
        const double h = piece->height;
        QList<const Piece*>* joined = nullptr;
        for (QList<const Piece*>& stack : stacks) {
            const Piece* last = stack.last();
            const double gap = piece->display.top() - last->display.bottom();
            const bool aligned = std::abs(piece->display.left() - last->display.left()) <= h ||
                                 std::abs(piece->display.center().x() - last->display.center().x()) <= h ||
                                 std::abs(piece->display.right() - last->display.right()) <= h;
            if (similarHeights(h, last->height, 1.3) && gap >= -0.3 * h && gap <= 0.9 * h && aligned &&
                piece->inlineLabel == Label::None && !rules.separates(last->display, piece->display)) {
                joined = &stack;
                break;
            }
        }
        if (joined)
            joined->append(piece);
        else
            stacks.append({piece});
    }
    QList<Candidate> blocks;
    for (QList<const Piece*> stack : std::as_const(stacks)) {
        while (!stack.isEmpty() && furnitureOf(stack.first()))
            stack.removeFirst();
        if (stack.isEmpty())
            continue;
        Candidate c = fromPiece(page, position, *stack.first(), rules);
        for (qsizetype i = 1; i < stack.size(); ++i) {
            c.text += QLatin1Char(' ') + stack[i]->text;
            c.glyphs += stack[i]->glyphs;
            c.display = c.display.united(stack[i]->display);
            c.user = c.user.united(stack[i]->user);
        }
        blocks.append(c);
    }
    return blocks;
}

std::optional<Slot> titleSlot(const QList<Analysed>& pages, int pagesWithText, const Slot& number,
                              const TitleBlock::Rules& rules)
{
    QList<QRectF> numberOn(pages.size());
    for (const Candidate& c : number.members)
        numberOn[c.page] = c.display;
    const QRectF numberArea = number.display();
    QList<Candidate> candidates;
    for (int p = 0; p < pages.size(); ++p) {
        // On a page without the number, keep clear of where it sits elsewhere.
        candidates += blocksOf(pages[p], p, numberOn[p].isNull() ? numberArea : numberOn[p], rules);
    }
    QList<Slot> slots = recurring(
        slotsOf(candidates,
                [](const Candidate& a, const Candidate& b) -> std::optional<double> {
                    const QRectF both = a.display.intersected(b.display);
                    const double smaller = std::min(a.display.width() * a.display.height(),
                                                    b.display.width() * b.display.height());
                    const double shared = both.width() * both.height();
                    if (!similarHeights(a.height, b.height, 1.3) || smaller <= 0 || shared < 0.4 * smaller)
                        return std::nullopt;
                    return 1 - shared / smaller;
                }),
        pagesWithText);
    // As for the number, on one page only a caption tells the title apart;
    // and where most pages caption their title, text elsewhere that merely
    // changes from page to page (a schematic's pin names) is not it, even
    // when the captioned fields are blank on some pages.
    int captioned = 0;
    for (const Analysed& page : pages) {
        captioned += std::any_of(page.page.runs.begin(), page.page.runs.end(),
                                 [](const SuggestionText::Run& r) { return r.leadLabel == Label::Title; })
                         ? 1
                         : 0;
    }
    if (pagesWithText == 1 || captioned >= std::ceil(0.7 * pagesWithText))
        slots.removeIf([](const Slot& s) { return s.share(Label::Title) == 0; });
    const QRectF sheet = sheetOf(pages);
    const double reach = 0.3 * std::hypot(sheet.width(), sheet.height());
    double tallest = 0;
    for (const Slot& s : std::as_const(slots))
        tallest = std::max(tallest, s.medianHeight());
    for (Slot& s : slots) {
        const double n = double(s.members.size());
        const double near = 1 - std::min(1.0, gapBetween(s.display(), numberArea) / std::max(reach, 1.0));
        s.score = 3 * s.share(Label::Title) - 2 * s.share(Label::Number) + 1.5 * s.medianHeight() / tallest +
                  2 * near + n / pagesWithText + s.distinctTexts() / n;
    }
    return best(slots);
}

QString squeezed(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (!c.isSpace())
            out += c;
    }
    return out;
}

// Whether another line's text stands inside `member`'s box on some page:
// a value that runs over other text (a long title across a date) cannot
// be held by a region on its own, and would drag the region over that
// text on every other page.
bool runsOverOtherText(const Candidate& member, const Slot& slot, const QList<Analysed>& pages)
{
    for (int p = 0; p < pages.size(); ++p) {
        QSet<int> own;
        for (const Candidate& c : slot.members) {
            if (c.page == p) {
                for (const Glyph& g : c.glyphs)
                    own.insert(g.id);
            }
        }
        for (const Glyph& g : pages[p].page.glyphs) {
            if (!own.contains(g.id) && member.display.contains(g.display.center()))
                return true;
        }
    }
    return false;
}

// The region around every member of `slot` (user space), grown by a
// margin, out to the ruled lines of its cell where they are near, and then
// kept clear of every other character of the pages and of `keepOut`, so
// that it reads just the member on each page. It never crosses a ruled
// line around its text. A title region also reaches out along the way its
// lines are aligned (right of left-aligned lines, both ways from centred
// ones), so that a page with a longer title than those looked at still
// reads whole.
Region regionFor(const Slot& slot, const QList<Analysed>& pages, const QRectF& keepOut,
                 const TitleBlock::Rules& rules, bool title)
{
    // Other text this close outside a region makes the read ask for an
    // edge check (2 pt), plus a little room for rounding.
    constexpr double clearance = 2.5;
    // How far inside a ruled line a region stops: lines are drawn up to a
    // point or so thick.
    constexpr double insideRule = 1.5;
    QRectF tight;
    QRectF shown; // the same, as displayed
    QList<const Candidate*> held;
    for (const Candidate& c : slot.members) {
        if (!runsOverOtherText(c, slot, pages))
            held.append(&c);
    }
    if (held.isEmpty()) {
        for (const Candidate& c : slot.members)
            held.append(&c);
    }
    for (const Candidate* c : std::as_const(held)) {
        tight = tight.isNull() ? c->user : tight.united(c->user);
        shown = shown.isNull() ? c->display : shown.united(c->display);
    }
    const QTransform& toDisplay = pages.first().input->displayTransform;
    const QTransform toUser = toDisplay.inverted();
    const double h = slot.medianHeight();
    const double margin = std::clamp(0.35 * h, 2.0, 8.0);
    QRectF want = shown.adjusted(-margin, -margin, margin, margin);
    if (title) {
        double lefts = 0, rights = 0, centres = 0;
        double minLeft = shown.right(), maxLeft = shown.left(), minRight = shown.right(),
               maxRight = shown.left(), minCentre = shown.right(), maxCentre = shown.left();
        for (const Candidate* c : std::as_const(held)) {
            minLeft = std::min(minLeft, c->display.left());
            maxLeft = std::max(maxLeft, c->display.left());
            minRight = std::min(minRight, c->display.right());
            maxRight = std::max(maxRight, c->display.right());
            minCentre = std::min(minCentre, c->display.center().x());
            maxCentre = std::max(maxCentre, c->display.center().x());
        }
        lefts = maxLeft - minLeft;
        rights = maxRight - minRight;
        centres = maxCentre - minCentre;
        const double reach = 0.5 * shown.width();
        if (lefts <= 0.3 * h && lefts <= rights)
            want.setRight(want.right() + reach);
        else if (rights <= 0.3 * h && rights < lefts)
            want.setLeft(want.left() - reach);
        else if (centres <= 0.3 * h) {
            want.setLeft(want.left() - reach / 2);
            want.setRight(want.right() + reach / 2);
        }
    }
    // Out to the cell's ruled lines, and never across them.
    const TitleBlock::Rules::Cell cell =
        rules.cellAround(shown, std::max({shown.width(), shown.height(), 4 * h}));
    if (cell.left)
        want.setLeft(*cell.left + insideRule);
    if (cell.right)
        want.setRight(*cell.right - insideRule);
    if (cell.top)
        want.setTop(*cell.top + insideRule);
    if (cell.bottom)
        want.setBottom(*cell.bottom - insideRule);
    want = want.united(shown);
    const QRectF start = toUser.mapRect(want);
    double left = start.left(), right = start.right();
    double low = start.top(), high = start.bottom();

    const auto keepClear = [&](const QRectF& other) {
        const QRectF region(QPointF(left, low), QPointF(right, high));
        if (!other.intersects(region.adjusted(-clearance, -clearance, clearance, clearance)))
            return;
        if (other.intersects(tight)) {
            // Lines set closer than their glyph boxes are high overlap the
            // region's text: the side towards the neighbour's centre goes
            // halfway into the overlap, which leaves the neighbour's line
            // out of the read and the region's own in. The read may still
            // warn about the touching boxes, as it should.
            const QPointF c = other.center();
            if (tight.contains(c))
                return;
            const double offsets[4] = {tight.left() - c.x(), c.x() - tight.right(), tight.top() - c.y(),
                                       c.y() - tight.bottom()};
            switch (int(std::max_element(offsets, offsets + 4) - offsets)) {
            case 0:
                left = std::max(left, 0.5 * (tight.left() + other.right()));
                break;
            case 1:
                right = std::min(right, 0.5 * (tight.right() + other.left()));
                break;
            case 2:
                low = std::max(low, 0.5 * (tight.top() + other.bottom()));
                break;
            default:
                high = std::min(high, 0.5 * (tight.bottom() + other.top()));
                break;
            }
            return;
        }
        // Pull in the side that lies between the region's text and the
        // other text, choosing the widest gap when there are two.
        const double gaps[4] = {tight.left() - other.right(), other.left() - tight.right(),
                                tight.top() - other.bottom(), other.top() - tight.bottom()};
        const int side = int(std::max_element(gaps, gaps + 4) - gaps);
        switch (side) {
        case 0:
            left = std::max(left, std::min(other.right() + clearance, tight.left() - 0.5));
            break;
        case 1:
            right = std::min(right, std::max(other.left() - clearance, tight.right() + 0.5));
            break;
        case 2:
            low = std::max(low, std::min(other.bottom() + clearance, tight.top() - 0.5));
            break;
        default:
            high = std::min(high, std::max(other.top() - clearance, tight.bottom() + 0.5));
            break;
        }
    };
    for (int p = 0; p < pages.size(); ++p) {
        QSet<int> own;
        for (const Candidate& c : slot.members) {
            if (c.page == p) {
                for (const Glyph& g : c.glyphs)
                    own.insert(g.id);
            }
        }
        const QList<PageText::Char>& chars = pages[p].input->text.chars();
        for (int i = 0; i < chars.size(); ++i) {
            if (!own.contains(i) && !chars[i].ch.isSpace() && !chars[i].box.isEmpty())
                keepClear(chars[i].box);
        }
    }
    if (!keepOut.isNull())
        keepClear(keepOut);
    return QRectF(QPointF(left, low), QPointF(right, high))
        .intersected(pages.first().input->cropBox.normalized());
}

// The regions of a number and a title place, read back as the read does:
// a page counts when both give exactly what was found there. Nothing when
// they overlap or read back on no page.
// Whether `region` on `input` reads `expected` (spaces aside) with no edge
// warning. The one place that judges whether a suggestion would warn, so
// that it judges as the read does, whatever rule the read follows.
bool readsCleanly(const PageInput& input, const Region& region, const QString& expected, QString* read)
{
    const DocumentSafety::RegionText got = DocumentSafety::read(input.text, input.cropBox, region);
    *read = got.text;
    // The read gives text in typed form (hyphens a person types); the
    // layer's candidates are compared in the same form.
    const auto typed = [](const QString& text) { return squeezed(DocumentSafety::typedText(text, true)); };
    if (typed(got.text) != typed(expected))
        return false;
    // Where a title block sets another line's ink within the margin of the
    // value's cell, every region that holds the value warns, a careful
    // one too; such a warning is the review's to show. A region that cuts
    // the value itself is never offered.
    return std::none_of(got.reasons.cbegin(), got.reasons.cend(), [&](const EdgeReason& r) {
        return r.kind == EdgeReason::Kind::Empty ||
               (r.kind == EdgeReason::Kind::Cut && typed(expected).contains(typed(r.text)));
    });
}

std::optional<Suggestion> checked(const Slot& number, const Slot& title, const QList<Analysed>& pages,
                                  const TitleBlock::Rules& rules)
{
    Suggestion result;
    result.number = regionFor(number, pages, QRectF(), rules, false);
    result.title = regionFor(title, pages, result.number.adjusted(-0.5, -0.5, 0.5, 0.5), rules, true);
    if (result.number.intersects(result.title) || result.number.isEmpty() || result.title.isEmpty())
        return std::nullopt;
    result.pagesWithText = int(pages.size());

    QList<QString> numbers(pages.size()), titles(pages.size());
    for (const Candidate& c : number.members)
        numbers[c.page] = c.text;
    for (const Candidate& c : title.members)
        titles[c.page] = c.text;
    for (int p = 0; p < pages.size(); ++p) {
        if (numbers[p].isEmpty() || titles[p].isEmpty())
            continue;
        const PageInput& input = *pages[p].input;
        QString readNumber, readTitle;
        if (!readsCleanly(input, result.number, numbers[p], &readNumber) ||
            !readsCleanly(input, result.title, titles[p], &readTitle))
            continue;
        if (result.pagesRead++ == 0) {
            result.examplePage = input.index;
            result.exampleNumber = readNumber;
            result.exampleTitle = readTitle;
        }
    }
    // A suggestion that would warn, or read other text, on many of the
    // pages is not offered: most pages must read cleanly.
    if (result.pagesRead == 0 || result.pagesRead < std::ceil(0.7 * result.pagesWithText))
        return std::nullopt;
    return result;
}

TitleBlock::Rules rulesNear(const QList<Slot>& numbers, const QList<Analysed>& pages, const Renderer& render)
{
    if (!render || numbers.isEmpty())
        return {};
    QRectF around;
    for (qsizetype i = 0; i < std::min<qsizetype>(numbers.size(), 3); ++i)
        around = around.isNull() ? numbers[i].display() : around.united(numbers[i].display());
    const QRectF sheet = sheetOf(pages);
    const double grow = 0.3 * std::max(sheet.width(), sheet.height());
    around = around.adjusted(-grow, -grow, grow, grow).intersected(sheet);
    // Rulings are the same on every page of the group: one page shows them.
    const PageInput& first = *pages.first().input;
    const QRectF user = first.displayTransform.inverted().mapRect(around);
    constexpr double dpi = 72;
    const QImage image = render(first.index, user, dpi);
    if (image.isNull())
        return {};
    // The image starts at the whole pixel at or before the area's corner.
    const double scale = dpi / 72;
    const QPointF origin(std::floor(around.left() * scale) / scale, std::floor(around.top() * scale) / scale);
    return TitleBlock::rulesFrom(image, QRectF(origin, QSizeF(image.width() / scale, image.height() / scale)));
}

} // namespace

std::optional<Suggestion> suggest(const QList<PageInput>& inputs, const Renderer& render)
{
    QList<Analysed> pages;
    for (const PageInput& input : inputs) {
        Analysed a{&input, SuggestionText::read(input.text, input.displayTransform), {}};
        if (!a.page.glyphs.isEmpty())
            pages.append(std::move(a));
    }
    if (pages.isEmpty())
        return std::nullopt;
    const int withText = int(pages.size());
    {
        QList<SuggestionText::Page> texts;
        for (const Analysed& a : std::as_const(pages))
            texts.append(a.page);
        const QList<QSet<int>> furniture = TitleBlock::furniture(texts);
        for (int p = 0; p < pages.size(); ++p)
            pages[p].furniture = furniture[p];
    }

    // The number and the title are judged together: a number with no
    // title near it loses to a slightly weaker one that has one.
    struct Pair
    {
        Slot number;
        Slot title;
    };
    QList<Pair> pairs;
    const QList<Slot> numbers = numberSlots(pages, withText);
    const TitleBlock::Rules rules = rulesNear(numbers, pages, render);
    for (qsizetype i = 0; i < std::min<qsizetype>(numbers.size(), 3); ++i) {
        if (const std::optional<Slot> title = titleSlot(pages, withText, numbers[i], rules))
            pairs.append({numbers[i], *title});
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
        return a.number.score + a.title.score > b.number.score + b.title.score;
    });
    for (const Pair& pair : std::as_const(pairs)) {
        if (std::optional<Suggestion> result = checked(pair.number, pair.title, pages, rules))
            return result;
    }
    return std::nullopt;
}

std::optional<Suggestion> suggestLike(const QList<PageInput>& pages, const QList<PageInput>& model,
                                      const Suggestion& found)
{
    if (pages.isEmpty() || model.isEmpty())
        return std::nullopt;
    QList<SuggestionText::Page> modelTexts;
    for (const PageInput& input : model)
        modelTexts.append(SuggestionText::read(input.text, input.displayTransform));
    // The model's anchors: its furniture, or on a model of one page every
    // line outside the regions.
    const QTransform& modelShown = model.first().displayTransform;
    const QRectF numberShown = modelShown.mapRect(found.number);
    const QRectF titleShown = modelShown.mapRect(found.title);
    QList<const SuggestionText::Run*> anchors;
    const QSet<int> furniture = TitleBlock::furniture(modelTexts).first();
    for (int r = 0; r < modelTexts.first().runs.size(); ++r) {
        const SuggestionText::Run& run = modelTexts.first().runs[r];
        if ((model.size() == 1 || furniture.contains(r)) && !run.display.intersects(numberShown) &&
            !run.display.intersects(titleShown))
            anchors.append(&run);
    }
    Suggestion result;
    for (const PageInput& input : pages) {
        const SuggestionText::Page text = SuggestionText::read(input.text, input.displayTransform);
        if (text.glyphs.isEmpty())
            continue;
        ++result.pagesWithText;
        // Offsets at which an anchor's text stands on this page.
        QList<QPointF> offsets;
        for (const SuggestionText::Run* anchor : std::as_const(anchors)) {
            for (const SuggestionText::Run& run : text.runs) {
                if (run.words == anchor->words && std::abs(run.height - anchor->height) <= 0.1 * anchor->height)
                    offsets.append(run.display.topLeft() - anchor->display.topLeft());
            }
        }
        std::optional<QPointF> best;
        int bestVotes = 1;
        for (const QPointF& o : std::as_const(offsets)) {
            const int votes = int(std::count_if(offsets.begin(), offsets.end(), [&](const QPointF& p) {
                return std::abs(p.x() - o.x()) <= 1 && std::abs(p.y() - o.y()) <= 1;
            }));
            if (votes > bestVotes) {
                best = o;
                bestVotes = votes;
            }
        }
        if (!best)
            continue;
        const QTransform toUser = input.displayTransform.inverted();
        const Region number = toUser.mapRect(numberShown.translated(*best)).intersected(input.cropBox);
        const Region title = toUser.mapRect(titleShown.translated(*best)).intersected(input.cropBox);
        const DocumentSafety::RegionText n = DocumentSafety::read(input.text, input.cropBox, number);
        const DocumentSafety::RegionText t = DocumentSafety::read(input.text, input.cropBox, title);
        // The one rule for whether a suggestion would warn: as the read judges.
        QString readNumber, readTitle;
        if (n.text.isEmpty() || t.text.isEmpty() || !readsCleanly(input, number, n.text, &readNumber) ||
            !readsCleanly(input, title, t.text, &readTitle))
            continue;
        if (result.pagesRead == 0) {
            result.number = number;
            result.title = title;
            result.examplePage = input.index;
            result.exampleNumber = readNumber;
            result.exampleTitle = readTitle;
        } else if (number != result.number || title != result.title) {
            continue; // pages of one group share one layout and one offset
        }
        ++result.pagesRead;
    }
    if (result.pagesRead == 0 || result.pagesRead < std::ceil(0.7 * result.pagesWithText))
        return std::nullopt;
    return result;
}

QList<int> spread(const QList<int>& pages, int limit)
{
    if (pages.size() <= limit || limit <= 0)
        return limit <= 0 ? QList<int>() : pages;
    QList<int> chosen;
    for (int k = 0; k < limit; ++k) {
        const qsizetype at =
            limit == 1 ? 0 : qsizetype(std::llround(double(k) * double(pages.size() - 1) / (limit - 1)));
        chosen.append(pages.at(at));
    }
    return chosen;
}

namespace {

// The text layers of `pages`, taken as suggestFor() takes them.
QList<PageInput> inputsFor(const PdfDocument& document, const QList<int>& pages, const WorkCancellation& cancel,
                           const Progress& progress, const KeptTextLayers& kept)
{
    std::vector<PageInput> inputs(size_t(pages.size()));
    PageParallel::run(
        document, int(pages.size()), cancel, progress,
        [&](int position, const PdfDocument& own) {
            const std::optional<PdfPage> page = own.page(pages.at(position));
            if (!page)
                throw DrawingWorkflow::failure(QStringLiteral("The source PDF could not be read."));
            PageInput& input = inputs[size_t(position)];
            input.index = pages.at(position);
            input.text = KeptLayers::layerOf(*page, kept, cancel);
            // Whether a region would warn is judged on the glyphs as drawn,
            // as the read judges it; without them, on the cells.
            page->attachInk(input.text, [&cancel] { return cancel.isCancelled(); });
            cancel.check();
            input.displayTransform = page->displayTransform();
            input.cropBox = page->cropBox();
        },
        PageParallel::defaultThreads());
    return QList<PageInput>(inputs.begin(), inputs.end());
}

} // namespace

std::optional<Suggestion> suggestLikeFor(const QByteArray& data, const QList<int>& pages,
                                         const QList<int>& modelPages, const Suggestion& found,
                                         const WorkCancellation& cancel, const KeptTextLayers& kept)
{
    cancel.check();
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(data);
    if (!document)
        throw DrawingWorkflow::failure(QStringLiteral("The source PDF could not be read."));
    const QList<PageInput> inputs = inputsFor(*document, spread(pages), cancel, {}, kept);
    const QList<PageInput> model = inputsFor(*document, spread(modelPages, 5), cancel, {}, kept);
    cancel.check();
    return suggestLike(inputs, model, found);
}

std::optional<Suggestion> suggestFor(const QByteArray& data, const QList<int>& pages,
                                     const WorkCancellation& cancel, const Progress& progress,
                                     const KeptTextLayers& kept)
{
    const QString couldNotRead = QStringLiteral("The source PDF could not be read.");
    cancel.check();
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(data);
    if (!document)
        throw DrawingWorkflow::failure(couldNotRead);
    const QList<PageInput> inputs = inputsFor(*document, spread(pages), cancel, progress, kept);
    cancel.check();
    // One area of one page is rendered, through the same document on this
    // thread, to find the title block's ruled lines.
    const Renderer render = [&](int index, const QRectF& userRect, double dpi) {
        cancel.check();
        const std::optional<PdfPage> page = document->page(index);
        if (!page)
            return QImage();
        return page->renderRegion(userRect, dpi, [&cancel] { return cancel.isCancelled(); });
    };
    std::optional<Suggestion> found = suggest(inputs, render);
    cancel.check();
    return found;
}

std::optional<Suggestion> suggestOrBorrow(const QByteArray& data, const QList<int>& pages,
                                          const QList<QList<int>>& others, const WorkCancellation& cancel,
                                          const Progress& progress, const KeptTextLayers& kept)
{
    if (std::optional<Suggestion> own = suggestFor(data, pages, cancel, progress, kept))
        return own;
    for (const QList<int>& model : others) {
        if (model.isEmpty())
            continue;
        const std::optional<Suggestion> found = suggestFor(data, model, cancel, {}, kept);
        if (!found)
            continue;
        // The first group with a suggestion is the model; another one
        // would be tried only where this one's block does not stand alike.
        if (std::optional<Suggestion> like = suggestLikeFor(data, pages, model, *found, cancel, kept))
            return like;
    }
    return std::nullopt;
}

QList<QList<int>> textPagesOf(const QList<DrawingGroup>& groups, const QSet<int>& noTextPages)
{
    QList<QList<int>> result;
    for (const DrawingGroup& group : groups) {
        QList<int> pages = group.pages;
        pages.removeIf([&noTextPages](int page) { return noTextPages.contains(page); });
        result.append(pages);
    }
    return result;
}

SetSuggestion suggestSet(const QByteArray& data, const QList<QList<int>>& groupPages,
                         const WorkCancellation& cancel, const Progress& progress, const KeptTextLayers& kept)
{
    SetSuggestion result;
    // Groups with a suggestion of their own: the models that groups and
    // pages where nothing is found by itself borrow from.
    QList<std::pair<QList<int>, Suggestion>> models;
    QList<int> unfound;
    const int total = int(groupPages.size());
    for (int g = 0; g < total; ++g) {
        const QList<int>& pages = groupPages[g];
        std::optional<Suggestion> found;
        if (!pages.isEmpty())
            found = suggestFor(data, pages, cancel, {}, kept);
        if (!found) {
            unfound.append(g);
            if (progress)
                progress(g + 1, total);
            continue;
        }
        models.append({pages, *found});
        result.groups.insert(g, *found);
        // A page whose title block sits elsewhere reads nothing with its
        // group's regions: it gets regions of its own where its captions
        // show them, or an earlier group's carried over.
        QMap<int, PageRegions> regions;
        for (int page : pages)
            regions.insert(page, PageRegions(found->number, found->title));
        for (const PageRead& read : DrawingWorkflow::read(data, pages, regions, cancel, {}, kept)) {
            if (!read.number.isEmpty() && !read.title.isEmpty())
                continue;
            std::optional<Suggestion> own = suggestFor(data, {read.index}, cancel, {}, kept);
            for (qsizetype m = 0; !own && m + 1 < models.size(); ++m)
                own = suggestLikeFor(data, {read.index}, models[m].first, models[m].second, cancel, kept);
            if (own)
                result.pages.insert(read.index, *own);
        }
        if (progress)
            progress(g + 1, total);
    }
    for (int g : std::as_const(unfound)) {
        const QList<int>& pages = groupPages[g];
        std::optional<Suggestion> like;
        for (qsizetype m = 0; !like && !pages.isEmpty() && m < models.size(); ++m)
            like = suggestLikeFor(data, pages, models[m].first, models[m].second, cancel, kept);
        if (like)
            result.groups.insert(g, *like);
        else
            result.missed.append(g);
    }
    return result;
}

} // namespace RegionSuggestion
