#pragma once

#include "LocalActions/Files/SmartRename.h"
#include "LocalActions/Transfers/FileOperations.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

class AIStream;
class AIViewModel;

// One smart rename run: the model is asked for a name for each file, one after another; the
// proposals are shown for review, the chosen ones applied, and the renaming can be undone for a
// while. Main thread only.
class SmartRenameModel : public QObject {
    Q_OBJECT
public:
    struct Phase {
        enum class Kind { thinking, ready, applying, applied, failed };
        Kind kind = Kind::thinking;
        int renamed = 0;    // of applied
        int failed = 0;     // of applied
        QString messageKey; // of failed
        bool operator==(const Phase&) const = default;
    };

    inline static const QString languageDescription = QStringLiteral("the same language as the original name");
    static constexpr std::chrono::milliseconds defaultUndoWindow{30'000};

    SmartRenameModel(QList<QUrl> urls, AIViewModel& ai, std::shared_ptr<FileOperations> files = FileOperations::standard(),
                     std::chrono::milliseconds undoWindow = defaultUndoWindow, QObject* parent = nullptr);
    ~SmartRenameModel() override;

    const Phase& phase() const { return m_phase; }
    const QList<SmartRename::Candidate>& candidates() const { return m_candidates; }
    bool canUndo() const { return m_canUndo; }
    const QList<QUrl>& urls() const { return m_urls; }
    int selectedCount() const;

    void start();
    void apply();
    void undo();
    void toggle(const SmartRename::Candidate& candidate);

signals:
    void phaseChanged();
    void candidatesChanged();
    void canUndoChanged();

private:
    void askNext();
    void fail(const QString& messageKey);
    void setPhase(Phase phase);
    void setCanUndo(bool canUndo);

    QList<QUrl> m_urls;
    AIViewModel& m_ai;
    std::shared_ptr<FileOperations> m_files;
    Phase m_phase;
    QList<SmartRename::Candidate> m_candidates;
    bool m_canUndo = false;
    std::optional<SmartRename::Result> m_lastResult;
    QTimer m_undoDeadline;

    // The run in hand: the suggestions so far and the reply being read.
    QStringList m_suggestions;
    QString m_reply;
    std::unique_ptr<AIStream> m_stream;
    quint64 m_run = 0;
};
