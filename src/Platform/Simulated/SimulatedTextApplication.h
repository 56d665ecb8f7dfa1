#pragma once

#include "Platform/Pasteboard.h"
#include "Platform/Simulated/SimulatedAccessibility.h"
#include "Platform/Simulated/SimulatedKeystrokes.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"

#include <QObject>

#include <chrono>

namespace Platform {

// Another application on the simulated desktop with one window holding one text field. It shows
// itself to Accessibility (a window element with the text element inside), the window list and
// the workspace, and reacts to synthetic keys as such an application would: command+c puts its
// selection on the general pasteboard, command+v replaces its selection with the pasteboard's
// text. Only while its text field has the focus.
class SimulatedTextApplication final : public QObject {
    Q_OBJECT
public:
    struct Desktop {
        SimulatedAccessibility* accessibility = nullptr;
        SimulatedKeystrokes* keystrokes = nullptr;
        Pasteboards* pasteboards = nullptr;
        SimulatedWorkspace* workspace = nullptr;     // optional
        SimulatedWindowList* windowList = nullptr;   // optional
    };
    struct Options {
        ApplicationInfo application{QStringLiteral("org.example.editor"), QStringLiteral("Editor"), {}, 4242};
        quint32 windowNumber = 100;
        QRectF windowFrame{100, 100, 600, 400}; // top-left coordinates
        QString role = QStringLiteral("AXTextArea");
        QString subrole;
        bool editable = true;
    };

    SimulatedTextApplication(Desktop desktop, Options options, QObject* parent = nullptr);
    ~SimulatedTextApplication() override;

    AccessibilityElement windowElement() const { return m_window; }
    AccessibilityElement textElement() const { return m_text; }
    const Options& options() const { return m_options; }

    // Makes this application frontmost with its text field focused and its window in front.
    void bringToFront();
    void setText(const QString& value, TextRange selection);
    // Selects the first occurrence of `part` in the current text.
    void select(const QString& part);
    QString text() const;
    QString selectedText() const;
    // Where the application says the selection is (top-left coordinates).
    void setSelectionBounds(QRectF bounds);
    // An application that exposes no selected text or range: only a copy reveals the selection.
    void setExposesSelection(bool exposes);
    // An application that ignores the copy keystroke.
    void setAnswersCopy(bool answers) { m_answersCopy = answers; }
    void setAnswersPaste(bool answers) { m_answersPaste = answers; }
    // An application that reads the pasteboard only this long after the paste keystroke.
    void setPasteDelay(std::chrono::milliseconds delay) { m_pasteDelay = delay; }

    int copiesAnswered = 0;
    int pastesAnswered = 0;

private:
    void react(const SimulatedKeystrokes::Posted& key);
    bool focused() const;

    Desktop m_desktop;
    Options m_options;
    AccessibilityElement m_window;
    AccessibilityElement m_text;
    int m_reaction = 0;
    bool m_answersCopy = true;
    bool m_answersPaste = true;
    std::chrono::milliseconds m_pasteDelay{0};
};

} // namespace Platform
