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
// pasteboard, a synthetic paste, the user's pasteboard put back after the wait). Never into a
// secure field. The text is never logged.
class TextWriteBack {
public:
    enum class Mode {
        replace, // the text replaces the selection
        append,  // the selection, a line feed, then the text
    };
    enum class Outcome {
        written,
        pasteboardNotRestored, // pasted, but the user's pasteboard could not be put back
        refused,               // nothing written: secure target, or the pasteboard refused the text
    };
    using Done = std::function<void(Outcome)>;

    explicit TextWriteBack(Platform::Services services,
                           PrivacyLog::Logger logger = PrivacyLog::logger(QStringLiteral("WriteBack")));

    // `done` is called once on the main thread (at once, or after the paste wait); when
    // `receiver` is gone by then it is not called, but the pasteboard is put back all the same.
    void write(const QString& text, Mode mode, const std::optional<Platform::AccessibilityElement>& element,
               const ContextSnapshot& snapshot, QObject* receiver, Done done) const;

    std::chrono::milliseconds pasteWait{120};

private:
    void pasteFallback(const QString& text, QObject* receiver, Done done) const;

    Platform::Services m_services;
    PrivacyLog::Logger m_logger;
};
