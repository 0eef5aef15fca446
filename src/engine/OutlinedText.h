#pragma once

// Telling a region that reads empty because nothing is there from one that
// shows text the PDF carries only as drawn ink: glyphs plotted as strokes or
// filled outlines (stroke fonts flattened, schematic tools that plot every
// glyph). Only the ink can tell, so the region is rendered.

#include "PdfDocument.h"
#include "Workflow.h"

#include <QImage>
#include <QRectF>

namespace OutlinedText {

// Whether `image` (a region as rendered, on white) holds marks other than
// ruled lines: dark pixels are counted once every run of them that spans
// half the image's width or height or more (a cell's border, a rule) is
// taken out. Pure; any thread.
bool showsInk(const QImage& image);

// Whether `region` (user space) of `page` shows drawn marks (showsInk), from
// a render of the region at a resolution fit for strokes of a fraction of a
// point. Renders through the page's document, so only on the thread that
// owns it. Throws CancellationError when `cancel` fires; a render that fails
// counts as no ink.
bool regionShowsInk(const PdfPage& page, const QRectF& region, const WorkCancellation& cancel);

// A read of a page whose number or title region read nothing: whether such
// an empty region shows drawn ink (the page carries its name as drawing,
// not text). False at once when both regions read text. Same threads and
// failures as regionShowsInk().
bool emptyRegionsShowInk(const PdfPage& page, const PageRegions& regions, const PageRead& read,
                         const WorkCancellation& cancel);

} // namespace OutlinedText
