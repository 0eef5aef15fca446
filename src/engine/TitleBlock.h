#pragma once

// The title block of a geometry group's pages as a person reads it: the
// ruled lines that divide it into cells, the lines of text that are the
// same on every page (the block's furniture: firm, client, project,
// address, captions), and the captions that name the value beside them.
// Region suggestions ask it questions instead of judging geometry of their
// own.
//
// Everything here is in display space (the page as seen: crop box top-left
// origin, rotation applied, y down, points), like SuggestionText. Pure; any
// thread; nothing throws.

#include "SuggestionText.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSet>

#include <optional>

namespace TitleBlock {

// A straight ruled line: drawn strokes and thin filled rectangles alike.
struct Rule
{
    bool horizontal = true;
    double at = 0;   // y of a horizontal rule, x of a vertical one
    double from = 0; // its extent along its direction
    double to = 0;
};

// The ruled lines found in one rendered area of the sheet.
class Rules
{
public:
    Rules() = default;
    Rules(QList<Rule> rules, const QRectF& area) : m_rules(std::move(rules)), m_area(area) {}

    const QList<Rule>& rules() const { return m_rules; }
    // The part of the sheet that was looked at; nothing is known outside it.
    const QRectF& area() const { return m_area; }

    // Whether a ruled line runs between `a` and `b` (two pieces of text):
    // a horizontal rule between their centres that spans across both, or a
    // vertical one likewise.
    bool separates(const QRectF& a, const QRectF& b) const;
    // Whether a ruled line runs through the inside of `box` (clear of its
    // outer `inset` on every side).
    bool crosses(const QRectF& box, double inset) const;

    // The cell that holds `box`: on each side the nearest rule that runs
    // along that side for at least half of the box's extent, within
    // `reach` points; a side without one stays unknown.
    struct Cell
    {
        std::optional<double> left, right, top, bottom;
    };
    Cell cellAround(const QRectF& box, double reach) const;

private:
    QList<Rule> m_rules;
    QRectF m_area;
};

// The ruled lines in `image`, a rendering of the sheet's `area` (display
// space; the image covers it exactly, any resolution): runs of dark pixels
// at least `shortest` points long and at most 4 points thick. Text strokes
// are shorter than that; filled areas are thicker.
Rules rulesFrom(const QImage& image, const QRectF& area, double shortest = 28);

// For each page, the indexes of its runs that are furniture: a run whose
// text stands at the same place (within a fraction of its height) on every
// other page. With fewer than two pages nothing can be told, and nothing is
// furniture.
QList<QSet<int>> furniture(const QList<SuggestionText::Page>& pages);

// The caption that names the text in `box` (its first line `height`
// high): `inlineLabel` when the text has one in front of it on its own
// line, else the nearest caption above it or to its left, else one just
// below it. Captions across a ruled line name another cell's value.
SuggestionText::Label captionOf(const SuggestionText::Page& page, const QRectF& box, double height,
                                SuggestionText::Label inlineLabel, const Rules& rules = {});

} // namespace TitleBlock
