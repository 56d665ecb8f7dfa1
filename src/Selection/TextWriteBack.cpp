#include "Selection/TextWriteBack.h"

#include "Selection/AccessibilityBridge.h"
#include "Selection/Keystroke.h"
#include "Selection/PasteboardGuard.h"
#include "Platform/Desktop/DesktopEntry.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

TextWriteBack::TextWriteBack(Platform::Services services, PrivacyLog::Logger logger)
    : m_services(std::move(services))
    , m_logger(logger)
{
}

void TextWriteBack::write(const QString& text, Mode mode, const std::optional<Platform::AccessibilityElement>& element,
                          const ContextSnapshot& snapshot, QObject* receiver, Done done) const
{
    auto& ax = *m_services.accessibility;
    if (snapshot.isSecure || snapshot.kind == ContextKind::secureText) {
        done(Outcome::refused);
        return;
    }
    if (element && AccessibilityBridge::isSecure(ax, *element)) {
        done(Outcome::refused);
        return;
    }
    const QString toWrite = mode == Mode::replace ? text : snapshot.selectedText.value_or(QString()) + u'\n' + text;
    const QString selected = QString::fromLatin1(Platform::Accessibility::selectedTextAttribute);
    if (element) {
        if (auto settable = ax.isAttributeSettable(*element, selected); settable && *settable) {
            if (ax.setStringAttribute(*element, selected, toWrite)) {
                done(Outcome::written);
                return;
            }
        }
    }
    pasteFallback(toWrite, receiver, std::move(done));
}

bool TextWriteBack::isTerminal(const std::optional<Platform::ApplicationInfo>& application)
{
    if (!application || !application->bundleURL.isLocalFile())
        return false;
    const auto group = DesktopEntry::readGroup(application->bundleURL.toLocalFile());
    if (!group)
        return false;
    return group->value(QStringLiteral("Categories")).split(u';').contains(QStringLiteral("TerminalEmulator"));
}

void TextWriteBack::pasteFallback(const QString& text, QObject* receiver, Done done) const
{
    if (isTerminal(m_services.workspace->frontmostApplication())) {
        m_logger.info(QStringLiteral("Target is a terminal; no paste sent"));
        done(Outcome::pasteboardNotRestored);
        return;
    }
    auto board = m_services.pasteboards->general();
    const PasteboardGuard::Snapshot saved = PasteboardGuard::snapshot(*board);
    if (!PasteboardGuard::setString(*board, text)) {
        PasteboardGuard::restore(saved, *board);
        done(Outcome::refused);
        return;
    }
    const PrivacyLog::Logger logger = m_logger;
    QPointer<QObject> alive(receiver);
    // Put back only once the application has read the text: earlier, it would paste the user's
    // own contents.
    const auto wait = board->reportsFetches() ? fetchTimeout : pasteWait;
    board->whenFetched(wait, QCoreApplication::instance(), [board, saved, logger, alive, receiver, done](bool) {
        Outcome outcome = Outcome::written;
        if (!PasteboardGuard::restore(saved, *board)) {
            logger.error(QStringLiteral("Could not restore the user's pasteboard after a paste fallback"));
            outcome = Outcome::pasteboardNotRestored;
        }
        if (alive || !receiver)
            done(outcome);
    });
    // Listening before the keystroke, so that no read goes unheard.
    Keystroke::post(*m_services.keystrokes, Keystroke::VirtualKey::v);
}
