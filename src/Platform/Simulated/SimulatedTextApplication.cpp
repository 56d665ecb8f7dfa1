#include "Platform/Simulated/SimulatedTextApplication.h"

#include "Platform/Simulated/SimulatedPasteboards.h"

#include <QTimer>

namespace Platform {

namespace {
QString name(const char* attribute)
{
    return QString::fromLatin1(attribute);
}
} // namespace

SimulatedTextApplication::SimulatedTextApplication(Desktop desktop, Options options, QObject* parent)
    : QObject(parent)
    , m_desktop(desktop)
    , m_options(std::move(options))
{
    auto& ax = *m_desktop.accessibility;
    m_window = ax.addElement({{name(Accessibility::roleAttribute), QStringLiteral("AXWindow")}}, m_options.windowFrame, {},
                             m_options.application.bundleIdentifier);
    SimulatedAccessibility::Attributes attributes{{name(Accessibility::roleAttribute), m_options.role}};
    if (!m_options.subrole.isEmpty())
        attributes.insert(name(Accessibility::subroleAttribute), m_options.subrole);
    // The text fills the window below a title bar of 30.
    const QRectF textArea = m_options.windowFrame.adjusted(0, 30, 0, 0);
    m_text = ax.addElement(attributes, textArea, m_window);
    if (m_options.editable) {
        ax.setSettable(m_text, name(Accessibility::selectedTextAttribute), true);
        ax.setSettable(m_text, name(Accessibility::valueAttribute), true);
    }
    m_reaction = m_desktop.keystrokes->addReaction([this](const SimulatedKeystrokes::Posted& key) { react(key); });
}

SimulatedTextApplication::~SimulatedTextApplication()
{
    m_desktop.keystrokes->removeReaction(m_reaction);
    m_desktop.accessibility->removeElement(m_window);
}

void SimulatedTextApplication::bringToFront()
{
    m_desktop.accessibility->setFocused(m_text);
    if (m_desktop.windowList) {
        QList<WindowInfo> windows = m_desktop.windowList->onScreenWindows(true);
        windows.removeIf([this](const WindowInfo& w) { return w.number == m_options.windowNumber; });
        windows.prepend(WindowInfo{m_options.windowNumber, m_options.windowFrame, 0, m_options.application.processID,
                                   m_options.application.name});
        m_desktop.windowList->setWindows(windows);
    }
    if (m_desktop.workspace)
        m_desktop.workspace->setFrontmost(m_options.application);
}

void SimulatedTextApplication::setText(const QString& value, TextRange selection)
{
    m_desktop.accessibility->setText(m_text, value, selection);
}

void SimulatedTextApplication::select(const QString& part)
{
    const QString value = text();
    const qsizetype at = value.indexOf(part);
    setText(value, at < 0 ? TextRange{0, 0} : TextRange{at, part.size()});
}

QString SimulatedTextApplication::text() const
{
    return m_desktop.accessibility->attribute(m_text, name(Accessibility::valueAttribute)).value_or(QVariant()).toString();
}

QString SimulatedTextApplication::selectedText() const
{
    const auto range = m_desktop.accessibility->attribute(m_text, name(Accessibility::selectedTextRangeAttribute));
    if (!range)
        return {};
    const TextRange r = range->value<TextRange>();
    return text().mid(r.location, r.length);
}

void SimulatedTextApplication::setSelectionBounds(QRectF bounds)
{
    m_desktop.accessibility->setRangeBounds(m_text, bounds);
}

void SimulatedTextApplication::setExposesSelection(bool exposes)
{
    auto& ax = *m_desktop.accessibility;
    if (exposes) {
        ax.clearFailures();
        return;
    }
    ax.failRead(m_text, name(Accessibility::selectedTextAttribute), Accessibility::Failure::noValue);
    ax.failRead(m_text, name(Accessibility::selectedTextRangeAttribute), Accessibility::Failure::noValue);
}

bool SimulatedTextApplication::focused() const
{
    auto focus = m_desktop.accessibility->focusedElement();
    return focus && *focus == m_text;
}

void SimulatedTextApplication::react(const SimulatedKeystrokes::Posted& key)
{
    if (!focused() || key.modifiers.rawValue != ModifierFlags::command)
        return;
    const bool secure = m_options.role == name(Accessibility::secureTextFieldSubrole)
        || m_options.subrole == name(Accessibility::secureTextFieldSubrole);
    auto board = m_desktop.pasteboards->general();
    if (key.key == Keystrokes::Key::c && m_answersCopy && !secure) {
        const QString selection = selectedText();
        if (!selection.isEmpty()) {
            board->setString(selection);
            ++copiesAnswered;
        }
    } else if (key.key == Keystrokes::Key::v && m_answersPaste && m_options.editable) {
        auto paste = [this, board] {
            // Read as another program reads: the pasteboard notes the fetch.
            auto* simulated = dynamic_cast<SimulatedPasteboard*>(board.get());
            const QList<PasteboardItem> items = simulated ? simulated->fetch() : board->items();
            std::optional<QString> pasted;
            for (const auto& item : items)
                if (auto d = item.data(QString::fromLatin1(Pasteboard::typeString)); d && !pasted)
                    pasted = QString::fromUtf8(*d);
            if (!pasted)
                return;
            const auto rangeValue = m_desktop.accessibility->attribute(m_text, name(Accessibility::selectedTextRangeAttribute));
            const TextRange r = rangeValue ? rangeValue->value<TextRange>() : TextRange{text().size(), 0};
            QString edited = text();
            edited.replace(int(r.location), int(r.length), *pasted);
            setText(edited, {r.location + pasted->size(), 0});
            ++pastesAnswered;
        };
        if (m_pasteDelay.count() > 0)
            QTimer::singleShot(m_pasteDelay, Qt::PreciseTimer, this, paste);
        else
            paste();
    }
}

} // namespace Platform
