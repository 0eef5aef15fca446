#pragma once

// What a region being dragged would read on the shown page, for the page
// view's live readout: selected from the text layer the open kept, on the
// main thread. Decoding a kept layer costs a fraction of a millisecond and
// selecting a rectangle microseconds; the decoded layer of the last page
// asked is kept, so the moves of one drag decode it once. Pages whose
// layer was not kept get no readout: taking a layer is PDF work, which the
// main thread never does. Main thread only.

#include "RegionView.h"
#include "Workflow.h"

#include "PdfDocument.h"

#include <optional>

class LiveReadout
{
public:
    // The text `rect` (user space) would read on page `page`, with the
    // read's whitespace rule and edge warning; nothing when that page's
    // layer is not in `layers`.
    std::optional<RegionView::Readout> read(const KeptTextLayers& layers, int page, const QRectF& rect,
                                            const QRectF& cropBox);

private:
    int m_page = -1;
    QByteArray m_encoded; // the kept layer m_layer was decoded from
    std::optional<PageText> m_layer;
};
