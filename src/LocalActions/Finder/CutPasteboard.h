#pragma once

#include "LocalActions/Transfers/FileOperations.h"
#include "Platform/Clock.h"
#include "Platform/Pasteboard.h"

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

// A pending cut of files, kept on a private named pasteboard so that the user's clipboard is left
// alone and every process of the user sees the same cut. Items: one file URL each, in order; the
// first item also carries the time of the cut under "com.corvish.cut.at" (seconds since 1970, the
// shortest text that reads back to the same double). A cut older than 1800 s is void.
class CutPasteboard {
public:
    inline static const QString sharedName = QStringLiteral("com.corvish.cut");
    inline static constexpr double expiry = 1800.0;

    CutPasteboard(std::shared_ptr<Platform::Pasteboards> pasteboards, QString boardName,
                  std::shared_ptr<Platform::Clock> clock,
                  std::shared_ptr<FileOperations> fileOperations = FileOperations::standard());
    // The one the application uses: the pasteboard named "com.corvish.cut".
    static CutPasteboard shared(std::shared_ptr<Platform::Pasteboards> pasteboards,
                                std::shared_ptr<Platform::Clock> clock);

    const QString& boardName() const { return m_boardName; }

    // Records a new cut now; an empty list keeps the previous one.
    void write(const QList<QUrl>& urls);
    // The cut files that still exist. An expired cut, or one whose files are all gone, is cleared.
    QList<QUrl> read(const QDateTime& now, const FileOperations& fileOperations);
    void clear();
    bool hasPendingCut();

private:
    std::shared_ptr<Platform::Pasteboard> board() const;

    std::shared_ptr<Platform::Pasteboards> m_pasteboards;
    QString m_boardName;
    std::shared_ptr<Platform::Clock> m_clock;
    std::shared_ptr<FileOperations> m_fileOperations;
};

// A pending cut held in this process, with the same rules. Safe to call from several threads.
class CutClipboard {
public:
    struct Pending {
        QList<QUrl> urls;
        QDateTime cutAt;
        bool isExpired(const QDateTime& now) const;
        bool operator==(const Pending&) const = default;
    };

    explicit CutClipboard(std::shared_ptr<FileOperations> fileOperations = FileOperations::standard());

    void cut(const QList<QUrl>& urls, const QDateTime& at);
    void clear();
    std::optional<Pending> current(const QDateTime& now);

private:
    QMutex m_mutex;
    std::optional<Pending> m_pending;
    std::shared_ptr<FileOperations> m_fileOperations;
};
