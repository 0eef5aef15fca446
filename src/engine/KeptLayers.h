#pragma once

// Text layers for work that selects text from pages: the layer the open
// kept for a page where there is one, else the page's own, read now.

#include "PdfDocument.h"
#include "Workflow.h"

#include <QList>

namespace KeptLayers {

// Whether `kept` (indexed by zero-based page) holds a layer for every one
// of `pages`: the work is then selection in memory, microseconds a page,
// and a second thread would cost more than it saves.
bool coverAll(const QList<int>& pages, const KeptTextLayers& kept);

// The text layer of `page`: decoded from `kept` when the open kept it,
// else read from the page, abandoned as soon as `cancel` is set. Any
// thread that owns `page`'s document. Throws CancellationError when
// cancelled, or PlanfolioError "The source PDF could not be read." when
// the page's layer fails.
PageText layerOf(const PdfPage& page, const KeptTextLayers& kept, const WorkCancellation& cancel);

} // namespace KeptLayers
