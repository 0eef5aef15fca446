#pragma once

// Private to src/pdf: the drawn extent of every glyph of a page, taken in
// the helper process from the font outlines as the page draws them. Text
// layers give character cells (the font's ascent to its descent, the whole
// advance), which run into neighbouring lines on tightly set title blocks
// while the glyphs themselves stand clear; whether text lies at a region's
// border is judged on these extents instead.

#include "PdfDocument.h"

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QRectF>

#include <functional>
#include <memory>
#include <optional>

namespace GlyphInk {

using Glyph = PageText::Glyph;

// Encoding for the wire: six floats a glyph.
QByteArray encode(const QList<Glyph>& glyphs);
std::optional<QList<Glyph>> decode(const QByteArray& bytes);

// A document opened for glyph extents over `bytes`, which must outlive it.
// Helper side only; one thread.
class Reader
{
public:
    explicit Reader(const QByteArray& bytes);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Every visible glyph of page `index` (zero-based): an outline font's
    // glyph by its outline, a Type 3 glyph by the paths its procedure
    // paints (images in it are not counted). Invisible text and
    // annotations are left out. Nothing when the page cannot be
    // interpreted or `abort` fired.
    std::optional<QList<Glyph>> glyphs(int index, const std::function<bool()>& abort);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace GlyphInk
