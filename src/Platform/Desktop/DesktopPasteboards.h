#pragma once

#include "Platform/Pasteboard.h"

#include <QHash>
#include <QMimeData>
#include <QPointer>

class QClipboard;

namespace Platform {

// The system clipboard. It holds one item: the first item's representations are offered to other
// programs; further items are kept for this process while the clipboard still holds our data.
class ClipboardPasteboard final : public Pasteboard {
public:
    explicit ClipboardPasteboard(QClipboard* clipboard);
    qint64 changeCount() const override { return *m_changeCount; }
    QList<PasteboardItem> items() const override;
    qint64 writeItems(const QList<PasteboardItem>& items) override;

    static QString mimeType(const QString& type);
    static QString pasteboardType(const QString& mimeType);

private:
    QClipboard* m_clipboard;
    std::shared_ptr<qint64> m_changeCount;
    QList<PasteboardItem> m_written;
    // The clipboard deletes its data when replaced; a later object may reuse the address.
    QPointer<const QMimeData> m_writtenData;
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

private:
    QString m_folder;
    std::shared_ptr<Pasteboard> m_general;
    QHash<QString, std::shared_ptr<Pasteboard>> m_named;
};

} // namespace Platform
