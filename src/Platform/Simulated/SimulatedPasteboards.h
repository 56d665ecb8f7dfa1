#pragma once

#include "Platform/Pasteboard.h"

#include <QHash>
#include <QMutex>
#include <QPointer>

namespace Platform {

// Its contents may be read and written from any thread, as a file on disk may.
class SimulatedPasteboard final : public Pasteboard {
public:
    qint64 changeCount() const override;
    QList<PasteboardItem> items() const override;
    qint64 writeItems(const QList<PasteboardItem>& items) override;

    bool reportsFetches() const override { return m_reportsFetches; }
    void whenFetched(std::chrono::milliseconds timeout, QObject* context, std::function<void(bool)> done) override;

    // Script: a pasteboard that refuses every write keeps its contents and change count.
    void setRefusesWrites(bool refuses) { m_refuses = refuses; }
    void setReportsFetches(bool reports) { m_reportsFetches = reports; }
    // Another program reads the contents: those waiting for a fetch hear of it.
    QList<PasteboardItem> fetch();

private:
    struct Waiter {
        QPointer<QObject> context;
        // Emptied once answered: what it holds (often this pasteboard) goes with the answer.
        std::shared_ptr<std::function<void(bool)>> done;
        std::shared_ptr<bool> answered;
    };
    QList<Waiter> m_waiters;
    bool m_reportsFetches = false;
    mutable QMutex m_mutex; // guards the contents and the change count
    QList<PasteboardItem> m_items;
    qint64 m_changeCount = 0;
    bool m_refuses = false;
};

class SimulatedPasteboards final : public Pasteboards {
public:
    std::shared_ptr<Pasteboard> general() override;
    std::shared_ptr<Pasteboard> named(const QString& name) override;

    bool hasSelectionBuffer() const override { return m_hasSelectionBuffer; }
    qint64 selectionBufferChangeCount() const override { return m_selectionChanges; }
    bool selectionBufferHeldByOwnerOf(quint32 window) const override
    {
        return selectionBufferHolder != 0 && window == selectionBufferHolder;
    }
    void readSelectionBuffer(QObject* context, std::function<void(std::optional<QString>)> done) override;

    // Script: a desktop with a selection buffer, and a program selecting text there (none: the
    // holder does not answer).
    void setHasSelectionBuffer(bool has) { m_hasSelectionBuffer = has; }
    void selectInBuffer(std::optional<QString> text);
    int selectionBufferReads = 0;
    // A window of the program holding the buffer; 0: none known.
    quint32 selectionBufferHolder = 0;

private:
    bool m_hasSelectionBuffer = false;
    qint64 m_selectionChanges = 0;
    std::optional<QString> m_selectionBuffer;
    std::shared_ptr<Pasteboard> m_general;
    QMutex m_namedMutex;
    QHash<QString, std::shared_ptr<Pasteboard>> m_named;
};

} // namespace Platform
