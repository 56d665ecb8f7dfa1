#pragma once

#include "ContextCore/ContextSnapshot.h"
#include "Platform/Services.h"
#include "SecurityCore/PrivacyLog.h"

#include <QObject>
#include <QPointF>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

// Reads what the user selected in another application: the focused element's selected text
// through Accessibility first; only when that yields nothing and the element does not report an
// empty selection, the desktop's selection buffer where it has one (X11's primary selection: no
// keystroke, the pasteboard untouched; a copy keystroke would interrupt a terminal's program),
// else a synthetic copy read from the general pasteboard, which is saved before and put back
// after, always.
class SelectionCapture {
public:
    struct Result {
        ContextSnapshot snapshot;
        // The focused element the selection belongs to, for writing back; none for a secure
        // field or when no focused element was found.
        std::optional<Platform::AccessibilityElement> element;
        // Whether the snapshot's text is the whole selection. A long one is read at first only
        // in part (what the toolbar decides on); before an action runs on it, the rest is read
        // from `element`.
        bool textComplete = true;
    };
    using Done = std::function<void(std::optional<Result>)>;

    static constexpr std::chrono::milliseconds defaultCopyWait{120};

    explicit SelectionCapture(Platform::Services services,
                              PrivacyLog::Logger logger = PrivacyLog::logger(QStringLiteral("SelectionCapture")));

    // Captures now; `done` is called once on the main thread: at once when no copy is needed,
    // else after the copy wait. When `receiver` is gone by then, `done` is not called, but the
    // user's pasteboard is put back all the same. `fallbackAnchor` (screen coordinates) is where
    // the selection is taken to be when its bounds cannot be read. The gesture tells whether the
    // selection buffer is this selection's: one that no program took since the press, and that is
    // not held by the program pressed in, holds an older selection and is not read. And whether the
    // focused element is: not when the window pressed in is another application's.
    struct Gesture {
        std::optional<qint64> selectionBufferAtPress; // the buffer's change count at the press
        std::optional<quint32> window;               // the window pressed in (window list number)
        // The selected text of an element, read just now by the caller: not read again when that
        // element has the focus. Only its beginning when not complete.
        std::optional<std::pair<Platform::AccessibilityElement, QString>> selectedText;
        bool selectedTextComplete = true;
    };
    void capture(std::optional<QPointF> fallbackAnchor, QObject* receiver, Done done, const Gesture& gesture) const;
    void capture(std::optional<QPointF> fallbackAnchor, QObject* receiver, Done done) const;

    std::chrono::milliseconds copyWait = defaultCopyWait;

    // The kind of a captured text.
    static ContextKind kind(const QString& text, bool editable);

private:
    using TextDone = std::function<void(std::optional<QString>)>;
    void copyViaPasteboard(QObject* receiver, TextDone done) const;
    void readSelectionBuffer(QObject* receiver, TextDone done) const;

    Platform::Services m_services;
    PrivacyLog::Logger m_logger;
};
