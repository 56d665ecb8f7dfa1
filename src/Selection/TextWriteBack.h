#pragma once

#include "ContextCore/ContextSnapshot.h"
#include "Platform/Services.h"
#include "SecurityCore/PrivacyLog.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

// Puts a result back into the application the selection came from: through Accessibility when
// the element lets its selected text be set, otherwise by pasting (the text on the general
// pasteboard, a synthetic paste, the user's pasteboard put back once the application has read
// the text, or after the wait). Never into a secure field, and no paste keystroke into a
// terminal, where it would reach the program running there as a control character. The text is
// never logged.
class TextWriteBack {
public:
    enum class Mode {
        replace, // the text replaces the selection
        append,  // the selection, a line feed, then the text
    };
    enum class Outcome {
        written,
        // Pasted, but the user's pasteboard could not be put back; or not pasted at all because the
        // target is a terminal. Either way the caller leaves the text on the pasteboard for the
        // user and says so.
        pasteboardNotRestored,
        refused,               // nothing written: secure target, or the pasteboard refused the text
    };
    using Done = std::function<void(Outcome)>;

    explicit TextWriteBack(Platform::Services services,
                           PrivacyLog::Logger logger = PrivacyLog::logger(QStringLiteral("WriteBack")));

    // `done` is called once on the main thread (at once, or after the paste wait); when
    // `receiver` is gone by then it is not called, but the pasteboard is put back all the same.
    void write(const QString& text, Mode mode, const std::optional<Platform::AccessibilityElement>& element,
               const ContextSnapshot& snapshot, QObject* receiver, Done done) const;

    // The wait before the user's pasteboard is put back, where the pasteboard cannot tell when
    // the application read the text; where it can, the longest wait for that read.
    std::chrono::milliseconds pasteWait{120};
    std::chrono::milliseconds fetchTimeout{1000};

    // What goes in place of the selection: for `replace` the text between the white space the
    // selection had at its start and at its end; for `append` the selection up to its trailing
    // white space, a line feed, the text, then that white space.
    static QString textToWrite(const QString& text, Mode mode, const std::optional<QString>& selected);

    // Whether the application takes a paste keystroke as a terminal's input (a terminal
    // emulator by its desktop entry's categories).
    static bool isTerminal(const std::optional<Platform::ApplicationInfo>& application);

private:
    void pasteFallback(const QString& text, QObject* receiver, Done done) const;

    Platform::Services m_services;
    PrivacyLog::Logger m_logger;
};
