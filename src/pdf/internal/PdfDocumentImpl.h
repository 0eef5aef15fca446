#pragma once

// Private to src/pdf: the state behind a PdfDocument. This is the one header
// that names qpdf and poppler types; no public header includes it, so the
// libraries stay private to the PDF service.

#include "PdfDocument.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <poppler-qt6.h>

#include <QBuffer>

#include <memory>
#include <vector>

struct PdfDocument::Impl
{
    // The document's bytes. qpdf and poppler both read this buffer in place,
    // so it must outlive them: it is declared first and destroyed last.
    QByteArray bytes;

    bool locked = false;
    bool encrypted = false;
    // Null for a locked document.
    std::unique_ptr<QPDF> qpdf;
    // qpdf's page objects in page order, taken once at open.
    std::vector<QPDFObjectHandle> pages;

    enum class TextLayerState { NotLoaded, Loaded, Failed };
    TextLayerState textLayerState = TextLayerState::NotLoaded;
    // poppler reads `bytes` through this device; it lives as long as the
    // poppler document does.
    std::unique_ptr<QBuffer> popplerDevice;
    std::unique_ptr<Poppler::Document> poppler;

    // The text layer of the page last asked for a rectangle, so that reading
    // several regions of one page interprets it once.
    int cachedTextPage = -1;
    PageText cachedText;

    // Per page: its resources are inherited or shared with another page, so
    // a single-sheet copy must drop what its content does not use. Worked
    // out on the first copy, before qpdf pushes inherited attributes down.
    std::vector<bool> sharesResources;

    // Loads poppler on first use; false when it cannot be loaded, the file is
    // locked, or poppler counts a different number of pages than qpdf.
    bool ensurePoppler();
    // poppler's page `index`, or null when the text layer is not available.
    std::unique_ptr<Poppler::Page> popplerPage(int index);
};

namespace PdfInternal {

// Silences both libraries' console output, once per process; safe to call
// from any thread.
void silenceLibraries();

// The page's box as a normalised rectangle in user space; nothing when `box`
// is not an array of four numbers.
std::optional<QRectF> boxRect(QPDFObjectHandle box);

} // namespace PdfInternal
