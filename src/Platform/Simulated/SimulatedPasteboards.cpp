#include "Platform/Simulated/SimulatedPasteboards.h"

#include <QTimer>

namespace Platform {

qint64 SimulatedPasteboard::changeCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_changeCount;
}

QList<PasteboardItem> SimulatedPasteboard::items() const
{
    QMutexLocker lock(&m_mutex);
    return m_items;
}

qint64 SimulatedPasteboard::writeItems(const QList<PasteboardItem>& items)
{
    QMutexLocker lock(&m_mutex);
    if (m_refuses)
        return m_changeCount;
    m_items = items;
    return ++m_changeCount;
}

void SimulatedPasteboard::whenFetched(std::chrono::milliseconds timeout, QObject* context, std::function<void(bool)> done)
{
    if (!m_reportsFetches)
        return Pasteboard::whenFetched(timeout, context, std::move(done));
    auto answered = std::make_shared<bool>(false);
    auto callback = std::make_shared<std::function<void(bool)>>(std::move(done));
    m_waiters.removeIf([](const Waiter& w) { return *w.answered; });
    m_waiters.append({context, callback, answered});
    QTimer::singleShot(timeout, Qt::PreciseTimer, context, [answered, callback] {
        if (*answered)
            return;
        *answered = true;
        std::exchange(*callback, nullptr)(false);
    });
}

QList<PasteboardItem> SimulatedPasteboard::fetch()
{
    const QList<Waiter> waiters = std::exchange(m_waiters, {});
    for (const auto& w : waiters) {
        if (!w.context || *w.answered)
            continue;
        *w.answered = true;
        // Delivered later, as the notice of another program's read would be.
        QTimer::singleShot(0, w.context, [done = std::exchange(*w.done, nullptr)] { done(true); });
    }
    QMutexLocker lock(&m_mutex);
    return m_items;
}

void SimulatedPasteboards::readSelectionBuffer(QObject* context, std::function<void(std::optional<QString>)> done)
{
    if (!m_hasSelectionBuffer)
        return Pasteboards::readSelectionBuffer(context, std::move(done));
    ++selectionBufferReads;
    QTimer::singleShot(0, context, [done = std::move(done), text = m_selectionBuffer] { done(text); });
}

void SimulatedPasteboards::selectInBuffer(std::optional<QString> text)
{
    m_selectionBuffer = std::move(text);
    ++m_selectionChanges;
}

std::shared_ptr<Pasteboard> SimulatedPasteboards::general()
{
    if (!m_general)
        m_general = std::make_shared<SimulatedPasteboard>();
    return m_general;
}

std::shared_ptr<Pasteboard> SimulatedPasteboards::named(const QString& name)
{
    QMutexLocker lock(&m_namedMutex);
    auto& p = m_named[name];
    if (!p)
        p = std::make_shared<SimulatedPasteboard>();
    return p;
}

} // namespace Platform
