#include "LiveReadout.h"

#include "DocumentSafety.h"

std::optional<RegionView::Readout> LiveReadout::read(const KeptTextLayers& layers, int page, const QRectF& rect,
                                                     const QRectF& cropBox)
{
    if (page < 0 || page >= layers.size() || layers[page].isEmpty())
        return std::nullopt;
    // A new document's layers are other arrays even for the same page.
    if (page != m_page || !layers[page].isSharedWith(m_encoded)) {
        m_page = page;
        m_encoded = layers[page];
        m_layer = PageText::fromBytes(m_encoded);
    }
    if (!m_layer)
        return std::nullopt;
    const DocumentSafety::RegionText text = DocumentSafety::read(*m_layer, cropBox, rect);
    return RegionView::Readout{text.text, text.warning};
}
