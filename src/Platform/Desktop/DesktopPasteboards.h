#pragma once

#include "Platform/Pasteboard.h"

#include <QHash>
#include <QMutex>
#include <QMimeData>
#include <QPointer>

class QClipboard;

namespace Platform {

class X11Connection;

// The system clipboard. It holds one item: the first item's representations are offered to other
// programs; further items are kept for this process while the clipboard still holds our data.
class ClipboardPasteboard final : public Pasteboard {
public:
    explicit ClipboardPasteboard(QClipboard* clipboard);
    qint64 changeCount() const override { return *m_changeCount; }
    QList<PasteboardItem> items() const override;
    qint64 writeItems(const QList<PasteboardItem>& items) override;
    // On X11 every read of our contents by another program passes through this process.
    bool reportsFetches() const override;
    void whenFetched(std::chrono::milliseconds timeout, QObject* context, std::function<void(bool)> done) override;

    static QString mimeType(const QString& type);
    static QString pasteboardType(const QString& mimeType);

private:
    QClipboard* m_clipboard;
    std::shared_ptr<qint64> m_changeCount;
    QList<PasteboardItem> m_written;
    // The clipboard deletes its data when replaced; a later object may reuse the address.
    QPointer<const QMimeData> m_writtenData;
    std::shared_ptr<QObject> m_fetches; // tells of each read of the data we wrote
};

// A named pasteboard kept in a file, so every process of the user sees the same contents.
class FilePasteboard final : public Pasteboard {
public:
    explicit FilePasteboard(QString filePath);
    qint64 changeCount() const override;
    QList<PasteboardItem> items() const override;
    qint64 writeItems(const QList<PasteboardItem>& items) override;

private:
    struct Contents {
        qint64 changeCount = 0;
        QList<PasteboardItem> items;
    };
    Contents read() const;
    QString m_path;
};

class DesktopPasteboards final : public Pasteboards {
public:
    explicit DesktopPasteboards(QString folder);
    std::shared_ptr<Pasteboard> general() override;
    std::shared_ptr<Pasteboard> named(const QString& name) override;

    // X11's primary selection.
    bool hasSelectionBuffer() const override { return bool(m_x); }
    qint64 selectionBufferChangeCount() const override { return *m_primaryChanges; }
    bool selectionBufferHeldByOwnerOf(quint32 window) const override;
    void readSelectionBuffer(QObject* context, std::function<void(std::optional<QString>)> done) override;
    static constexpr int selectionReadTimeoutMs = 500;

private:
    std::shared_ptr<X11Connection> m_x;
    std::shared_ptr<qint64> m_primaryChanges = std::make_shared<qint64>(0);
    int m_listener = 0;

public:
    ~DesktopPasteboards() override;

private:
    QString m_folder;
    std::shared_ptr<Pasteboard> m_general;
    QMutex m_namedMutex; // a cut is recorded off the main thread
    QHash<QString, std::shared_ptr<Pasteboard>> m_named;
};

} // namespace Platform
