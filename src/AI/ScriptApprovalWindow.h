#pragma once

#include "ContextCore/ScriptAction.h"
#include "Platform/Pasteboard.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractButton;
class QLabel;
class QPlainTextEdit;

// What the approval window shows: the script, what it may reach, the tools it lacks, and Allow
// and Cancel. It decides nothing: both buttons only call their callbacks.
class ScriptApprovalView : public QWidget {
    Q_OBJECT
public:
    ScriptApprovalView(const QString& title, const ScriptAction& script, std::shared_ptr<Platform::Pasteboards> pasteboards,
                       std::function<void()> onApprove, std::function<void()> onCancel, QWidget* parent = nullptr);

    QAbstractButton* allowButton() const { return m_allow; }
    QAbstractButton* cancelButton() const { return m_cancel; }
    // Null when no tool is missing.
    QAbstractButton* copyCommandButton() const { return m_copyCommand; }

private:
    QAbstractButton* m_allow = nullptr;
    QAbstractButton* m_cancel = nullptr;
    QAbstractButton* m_copyCommand = nullptr;
};

// The one window per process that asks the user before a script action first runs. Each
// `present` replaces the window shown before (whose caller then never hears back).
class ScriptApprovalWindow : public QObject {
    Q_OBJECT
public:
    explicit ScriptApprovalWindow(std::shared_ptr<Platform::Pasteboards> pasteboards, QObject* parent = nullptr);
    ~ScriptApprovalWindow() override;

    // Returns once the window is up; `onApprove` runs later, at most once, only on Allow.
    void present(const QString& title, const ScriptAction& script, std::function<void()> onApprove);

    // The window shown now or last; null before the first present and after Allow or Cancel.
    QWidget* window() const { return m_window; }

private:
    void closeWindow();

    std::shared_ptr<Platform::Pasteboards> m_pasteboards;
    QPointer<QWidget> m_window;
};
