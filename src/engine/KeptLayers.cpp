#include "KeptLayers.h"

#include <algorithm>

namespace KeptLayers {

bool coverAll(const QList<int>& pages, const KeptTextLayers& kept)
{
    return std::all_of(pages.begin(), pages.end(), [&kept](int index) {
        return index >= 0 && index < kept.size() && !kept[index].isEmpty();
    });
}

PageText layerOf(const PdfPage& page, const KeptTextLayers& kept, const WorkCancellation& cancel)
{
    const int index = page.index();
    if (index >= 0 && index < kept.size() && !kept[index].isEmpty()) {
        if (std::optional<PageText> layer = PageText::fromBytes(kept[index]))
            return std::move(*layer);
    }
    PageText layer = page.textLayer([&cancel] { return cancel.isCancelled(); });
    if (layer.aborted() || layer.failed()) {
        cancel.check();
        throw DrawingWorkflow::failure(QStringLiteral("The source PDF could not be read."));
    }
    return layer;
}

} // namespace KeptLayers
