#include "Platform/Simulated/SimulatedPasteboards.h"

namespace Platform {

qint64 SimulatedPasteboard::writeItems(const QList<PasteboardItem>& items)
{
    if (m_refuses)
        return m_changeCount;
    m_items = items;
    return ++m_changeCount;
}

std::shared_ptr<Pasteboard> SimulatedPasteboards::general()
{
    if (!m_general)
        m_general = std::make_shared<SimulatedPasteboard>();
    return m_general;
}

std::shared_ptr<Pasteboard> SimulatedPasteboards::named(const QString& name)
{
    auto& p = m_named[name];
    if (!p)
        p = std::make_shared<SimulatedPasteboard>();
    return p;
}

} // namespace Platform
