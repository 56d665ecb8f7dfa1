#pragma once

#include "System/GlobalHotKey.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;

// The control that records a global keyboard shortcut: a button showing the combination that,
// pressed, takes the next key press inside the application. It edits the bound combination only;
// whoever owns the binding stores and registers it.
class ShortcutRecorder : public QWidget {
    Q_OBJECT
public:
    struct Binding {
        std::function<std::optional<GlobalHotKey::Combination>()> get;
        std::function<void(const std::optional<GlobalHotKey::Combination>&)> set;
        // The owner says the system refused the current combination.
        std::function<bool()> wasRefused;
    };

    explicit ShortcutRecorder(Binding binding, QWidget* parent = nullptr);
    ~ShortcutRecorder() override;

    void refresh();
    void startRecording();
    void stopRecording();
    bool isRecording() const { return m_recording; }
    QString label() const;

    QPushButton* mainButton() const { return m_main; }
    QPushButton* clearButton() const { return m_clear; }
    QWidget* refusedWarning() const { return m_refused; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Binding m_binding;
    bool m_recording = false;
    QPushButton* m_main = nullptr;
    QPushButton* m_clear = nullptr;
    QWidget* m_refused = nullptr;
};
