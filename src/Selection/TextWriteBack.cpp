#include "Selection/TextWriteBack.h"

#include "Selection/AccessibilityBridge.h"
#include "Selection/Keystroke.h"
#include "Selection/PasteboardGuard.h"
#include "Platform/Desktop/DesktopEntry.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace {

// How many units of white space `text` has at its start, and at its end after those (so that
// text of white space only is all start).
qsizetype leadingSpace(QStringView text)
{
    qsizetype n = 0;
    while (n < text.size() && text[n].isSpace())
        ++n;
    return n;
}

qsizetype trailingSpace(QStringView text)
{
    qsizetype n = 0;
    while (n < text.size() && text[text.size() - 1 - n].isSpace())
        ++n;
    return n;
}

} // namespace

QString TextWriteBack::textToWrite(const QString& text, Mode mode, const std::optional<QString>& selected)
{
    // Results come trimmed, but the selection's own edges (the spaces a drag took in, the line
    // feed a line selection ends with) belong to the text around it: they stay where they were.
    const QStringView selection = selected ? QStringView(*selected) : QStringView();
    const qsizetype lead = leadingSpace(selection);
    const qsizetype trail = trailingSpace(selection.sliced(lead));
    QString out;
    if (mode == Mode::replace) {
        out += selection.first(lead);
    } else {
        // The result goes right after the selected words, before the space that parted them
        // from what follows.
        out += selection.chopped(trail);
        out += u'\n';
    }
    out += text;
    out += selection.last(trail);
    return out;
}

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
    const QString toWrite = textToWrite(text, mode, snapshot.selectedText);
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
