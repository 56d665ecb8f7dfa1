#include "Selection/SelectionCapture.h"

#include "ContextCore/ContextClassifier.h"
#include "ContextCore/SelectionGate.h"
#include "Selection/AccessibilityBridge.h"
#include "Selection/Keystroke.h"
#include "Selection/PasteboardGuard.h"
#include "Selection/ScreenGeometry.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

SelectionCapture::SelectionCapture(Platform::Services services, PrivacyLog::Logger logger)
    : m_services(std::move(services))
    , m_logger(logger)
{
}

void SelectionCapture::capture(std::optional<QPointF> fallbackAnchor, QObject* receiver, Done done) const
{
    capture(fallbackAnchor, receiver, std::move(done), Gesture{});
}

void SelectionCapture::capture(std::optional<QPointF> fallbackAnchor, QObject* receiver, Done done,
                               const Gesture& gesture) const
{
    auto& ax = *m_services.accessibility;
    const auto front = m_services.workspace->frontmostApplication();
    const QString source = front ? front->bundleIdentifier : QString();
    auto focused = AccessibilityBridge::focusedElement(ax);
    const QDateTime now = m_services.clock->now();
    // The focus is in the active window's application. A press in a window of another one (a
    // window that takes no focus, lying over it) selected nothing there: its focused element is
    // neither read nor written, nor sent a copy keystroke.
    bool pressedElsewhere = false;
    if (front && front->processID > 0 && gesture.window) {
        const auto pressed = m_services.windowList->window(*gesture.window);
        pressedElsewhere = pressed && pressed->ownerProcessID > 0 && pressed->ownerProcessID != front->processID;
    }
    if (pressedElsewhere && focused) {
        m_logger.info(QStringLiteral("Pressed in a window of another application than %1; its focus not read").arg(source));
        focused.reset();
    }

    if (focused && AccessibilityBridge::isSecure(ax, *focused)) {
        m_logger.info(QStringLiteral("Selection ignored: secure input field"));
        ContextSnapshot s;
        s.sourceBundleID = source;
        s.kind = ContextKind::secureText;
        s.isSecure = true;
        s.capturedAt = now;
        done(Result{s, std::nullopt});
        return;
    }

    const bool editable = focused && AccessibilityBridge::isEditable(ax, *focused);
    std::optional<QRectF> anchor;
    if (focused)
        anchor = AccessibilityBridge::selectionBounds(ax, *focused, ScreenGeometry::primaryHeight(*m_services.screens));
    if (!anchor && fallbackAnchor)
        anchor = QRectF(*fallbackAnchor, QSizeF(0, 0));

    auto make = [source, editable, anchor, now, focused](const QString& text, bool complete = true) {
        ContextSnapshot s;
        s.sourceBundleID = source;
        s.kind = kind(text, editable);
        s.selectedText = text;
        s.isEditable = editable;
        s.anchorRect = anchor;
        s.capturedAt = now;
        return Result{s, focused, complete};
    };

    auto selection = AccessibilityBridge::SelectionRead{};
    if (focused && gesture.selectedText && gesture.selectedText->first == *focused) {
        const QString& text = gesture.selectedText->second;
        selection = {text, text.isEmpty() ? SelectionGate::SelectionEvidence::empty : SelectionGate::SelectionEvidence::nonEmpty,
                     gesture.selectedTextComplete};
    } else {
        selection = AccessibilityBridge::readSelection(ax, focused);
    }
    if (selection.text && !selection.text->isEmpty()) {
        if (selection.complete)
            m_logger.info(QStringLiteral("Captured %1 via Accessibility").arg(PrivacyLog::redact(*selection.text)));
        else
            m_logger.info(QStringLiteral("Captured the first %1 via Accessibility").arg(PrivacyLog::redact(*selection.text)));
        done(make(*selection.text, selection.complete));
        return;
    }

    if (selection.evidence == SelectionGate::SelectionEvidence::empty) {
        m_logger.info(QStringLiteral("Nothing selected in %1; no copy sent").arg(source));
        done(std::nullopt);
        return;
    }
    // What a fallback read gives: the selection, or nothing found.
    const PrivacyLog::Logger logger = m_logger;
    auto finish = [logger, source, make, done](const QString& via) {
        return [logger, source, make, done, via](std::optional<QString> text) {
            if (text && !text->isEmpty()) {
                logger.info(QStringLiteral("Captured %1 via %2").arg(PrivacyLog::redact(*text), via));
                done(make(*text));
                return;
            }
            logger.info(QStringLiteral("No selection found in %1").arg(source));
            done(std::nullopt);
        };
    };
    if (m_services.pasteboards->hasSelectionBuffer()) {
        auto& boards = *m_services.pasteboards;
        const bool untaken = gesture.selectionBufferAtPress
            && boards.selectionBufferChangeCount() == *gesture.selectionBufferAtPress;
        if (untaken && !(gesture.window && boards.selectionBufferHeldByOwnerOf(*gesture.window))) {
            m_logger.info(QStringLiteral("Selection buffer unchanged since the press in %1; nothing new selected").arg(source));
            done(std::nullopt);
            return;
        }
        // No keystroke is sent, so held modifiers change nothing.
        readSelectionBuffer(receiver, finish(QStringLiteral("the primary selection")));
        return;
    }
    if (pressedElsewhere) {
        m_logger.info(QStringLiteral("No selection found in %1").arg(source));
        done(std::nullopt);
        return;
    }
    const SelectionGate::Modifiers held{m_services.eventMonitors->modifierFlags().rawValue};
    if (!SelectionGate::canSynthesiseCopy(held)) {
        m_logger.info(QStringLiteral("Modifiers held; no copy synthesised"));
        done(std::nullopt);
        return;
    }
    copyViaPasteboard(receiver, finish(QStringLiteral("pasteboard")));
}

ContextKind SelectionCapture::kind(const QString& text, bool editable)
{
    if (ContextClassifier::isURL(text))
        return ContextKind::selectedURL;
    return editable ? ContextKind::editableText : ContextKind::selectedText;
}

void SelectionCapture::readSelectionBuffer(QObject* receiver, TextDone done) const
{
    QPointer<QObject> alive(receiver);
    m_services.pasteboards->readSelectionBuffer(QCoreApplication::instance(), [alive, receiver, done](std::optional<QString> text) {
        if (alive || !receiver)
            done(std::move(text));
    });
}

void SelectionCapture::copyViaPasteboard(QObject* receiver, TextDone done) const
{
    auto board = m_services.pasteboards->general();
    const PasteboardGuard::Snapshot saved = PasteboardGuard::snapshot(*board);
    // A pasteboard that cannot be cleared would hand back the user's own contents as the
    // selection: then no copy is sent at all.
    if (!PasteboardGuard::clear(*board)) {
        m_logger.info(QStringLiteral("Pasteboard refused to clear; no copy sent"));
        done(std::nullopt);
        return;
    }
    const qint64 cleared = board->changeCount();
    Keystroke::post(*m_services.keystrokes, Keystroke::VirtualKey::c);
    const PrivacyLog::Logger logger = m_logger;
    QPointer<QObject> alive(receiver);
    // The restore must happen whatever becomes of the receiver, so the timer hangs on the
    // application, not on it.
    QTimer::singleShot(copyWait, Qt::PreciseTimer, QCoreApplication::instance(),
                       [board, saved, cleared, logger, alive, receiver, done] {
        std::optional<QString> text;
        // Only what the application wrote after our clear is its copy.
        if (board->changeCount() != cleared) {
            const bool files = board->data(QString::fromLatin1(Platform::Pasteboard::typeFileURL)).has_value();
            if (!files)
                text = board->string();
        }
        if (!PasteboardGuard::restore(saved, *board))
            logger.error(QStringLiteral("Could not restore the user's pasteboard after a fallback copy"));
        if (alive || !receiver)
            done(text);
    });
}
