#pragma once

// Private to src/pdf: the state behind a PdfDocument. It names qpdf types;
// no public header includes it, so the library stays private to the PDF
// service. Poppler runs in the helper process only (HelperServer.cpp).

#include "PdfDocument.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "internal/HelperChannel.h"

#include <memory>
#include <vector>

struct PdfDocument::Impl
{
    // The document's bytes. qpdf reads this buffer in place, so it must
    // outlive it: it is declared first and destroyed last.
    QByteArray bytes;

    bool locked = false;
    bool encrypted = false;
    // Null for a locked document.
    std::unique_ptr<QPDF> qpdf;
    // qpdf's page objects in page order, taken once at open.
    std::vector<QPDFObjectHandle> pages;

    enum class TextLayerState { NotLoaded, Loaded, Failed };
    TextLayerState textLayerState = TextLayerState::NotLoaded;
    // The bytes the helper reads: the original, or qpdf's repaired copy
    // once the original proved unreadable to poppler.
    std::shared_ptr<SharedSource> textSource;
    bool usingRepair = false;
    // The helper process that does this document's poppler work.
    std::unique_ptr<HelperChannel> helper;
    // The nice value its helpers run at (PdfDocument::runHelpersInBackground).
    int helperNice = 0;
    // A channel over `source` at that priority.
    std::unique_ptr<HelperChannel> channelOver(std::shared_ptr<SharedSource> source) const;

    // Display copies (see PdfDocument::useDisplayCopies), finest last: a
    // render at up to a copy's pixels a point comes from the first such
    // copy. Each is made on first use and shared by documents over the same
    // bytes.
    enum class DisplayState { NotTried, Ready, None };
    struct DisplayCopy
    {
        double pixelsPerPoint = 0;
        DisplayState state = DisplayState::NotTried;
        std::unique_ptr<HelperChannel> helper;
    };
    std::vector<DisplayCopy> displayCopies;
    std::shared_ptr<SharedSource> displayOrigin;
    // The helper over the copy that serves renders at `pixelsPerPoint`;
    // null when they come from the original (no copy is that fine, none is
    // needed, or it failed).
    HelperChannel* displayChannel(double pixelsPerPoint);

    // The text layer of the page last asked for a rectangle, so that reading
    // several regions of one page interprets it once.
    int cachedTextPage = -1;
    PageText cachedText;

    // Per page: its resources are inherited or shared with another page, so
    // a single-sheet copy must drop what its content does not use. Worked
    // out on the first copy, before qpdf pushes inherited attributes down.
    std::vector<bool> sharesResources;

    // Starts the helper and has it load the document on first use; false
    // when the file is locked, or poppler cannot load it or counts a
    // different number of pages than qpdf, even from the repaired copy.
    bool ensurePoppler();
    // Asks the helper for page work (the request's payload starts with the
    // page index). A page the library fails on is asked again once from
    // the repaired copy; a helper lost to a crash or a limit is not.
    HelperChannel::Answer pageWork(HelperWire::Request kind, const QByteArray& payload, double seconds,
                                   const AbortCheck& abort);

private:
    // Switches the helper to qpdf's repaired copy, once; false when there
    // is none or poppler cannot use it either.
    bool switchToRepair();
    bool loadIn(HelperChannel& channel);
};

namespace PdfInternal {

// Silences qpdf's console output, once per process; safe to call from any
// thread. (The helper silences poppler in its own process.)
void silenceLibraries();

// The page's box as a normalised rectangle in user space; nothing when `box`
// is not an array of four numbers.
std::optional<QRectF> boxRect(QPDFObjectHandle box);
// The annotation dictionaries of a page's /Annots, in order; anything
// else in the array is passed over. May throw what qpdf throws.
QList<QPDFObjectHandle> annotations(QPDFObjectHandle page);

// The document in `bytes` rewritten by qpdf into memory, with every page
// entry removed whose type poppler refuses to build a page with; nothing
// when qpdf cannot read or write it. Pages keep their order.
std::optional<QByteArray> repairedCopy(const QByteArray& bytes);

// The document in `bytes` rewritten by qpdf into memory with every large
// image whose uses are all known reduced to `pixelsPerPoint` at the largest
// size it is drawn; nothing when no image needs it or qpdf cannot read or
// write the document. Pages, text and vectors stay as they are. Any thread;
// costs a pass over the content of the pages that draw large images.
std::optional<QByteArray> displayCopy(const QByteArray& bytes, double pixelsPerPoint);

} // namespace PdfInternal
