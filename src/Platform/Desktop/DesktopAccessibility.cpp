#include "Platform/Desktop/DesktopAccessibility.h"

#include "Platform/Desktop/EwmhWindows.h"
#include "Platform/Desktop/X11Connection.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Platform {
namespace {

constexpr uint roleCheckBox = 7, roleComboBox = 11, roleDialog = 16, roleFiller = 20, roleFrame = 23, roleIcon = 26,
               roleImage = 27, roleLabel = 29, roleList = 31, roleMenu = 33, roleMenuBar = 34, roleMenuItem = 35,
               rolePageTabList = 38, rolePanel = 39, rolePopupMenu = 41, rolePushButton = 43, roleRadioButton = 44,
               roleScrollBar = 48, roleSlider = 51, roleSplitPane = 53, roleTable = 55, roleTerminal = 60, roleText = 61,
               roleToolBar = 63, roleTree = 65, roleTreeTable = 66, roleWindow = 69, roleParagraph = 73, roleEntry = 79,
               roleDocumentFrame = 82, roleDocumentText = 92, roleDocumentWeb = 95, roleStatic = 116;
constexpr int stateMultiLine = 17;

double pixelRatio()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->devicePixelRatio() : 1.0;
}

QRectF fromDevice(const QRect& r)
{
    const double ratio = pixelRatio();
    return QRectF(QPointF(r.topLeft()) / ratio, QSizeF(r.size()) / ratio);
}

bool has(quint64 states, int state)
{
    return (states >> state) & 1;
}

} // namespace

DesktopAccessibility::DesktopAccessibility(std::shared_ptr<X11Connection> connection, QObject* parent)
    : Accessibility(parent)
    , m_x(std::move(connection))
{
    if (m_x)
        m_windows = std::make_unique<EwmhWindows>(m_x);
}

DesktopAccessibility::~DesktopAccessibility() = default;

const AtSpiClient* DesktopAccessibility::client() const
{
    if (!m_x)
        return nullptr;
    // The bus may come up after us (it starts on first use): look again until it is there.
    if (!m_client) {
        m_client = AtSpiClient::connect(callTimeout);
        if (m_client)
            m_client->keepReadsForOneTurn();
    }
    return m_client ? &*m_client : nullptr;
}

bool DesktopAccessibility::isTrusted() const
{
    return m_x && AtSpiClient::isEnabled().value_or(false) && client();
}

bool DesktopAccessibility::promptForTrust()
{
    const bool trusted = isTrusted();
    if (!trusted && m_x)
        AtSpiClient::setEnabled(true);
    return trusted;
}

Accessibility::Failure DesktopAccessibility::lastFailure() const
{
    return failureOf(AtSpiClient::lastError());
}

Accessibility::Failure DesktopAccessibility::failureOf(const QString& error)
{
    if (error.endsWith(u".NoReply") || error.endsWith(u".Timeout") || error.endsWith(u".TimedOut"))
        return Failure::timedOut;
    if (error.endsWith(u".ServiceUnknown") || error.endsWith(u".UnknownObject") || error.endsWith(u".NameHasNoOwner"))
        return Failure::invalidElement;
    if (error.endsWith(u".UnknownMethod") || error.endsWith(u".UnknownInterface") || error.endsWith(u".UnknownProperty"))
        return Failure::noValue;
    return Failure::cannotComplete;
}

AtSpiClient::Units DesktopAccessibility::units(const Element& e) const
{
    auto it = m_units.constFind(e.service);
    if (it != m_units.constEnd())
        return *it;
    const AtSpiClient::Units u = client()->units(e);
    m_units.insert(e.service, u);
    return u;
}

std::expected<AccessibilityElement, Accessibility::Failure> DesktopAccessibility::focusedElement()
{
    if (!m_windows)
        return std::unexpected(Failure::notTrusted);
    const auto active = m_windows->activeWindow();
    const auto owner = active ? m_windows->client(*active) : std::nullopt;
    if (!owner || owner->processID <= 0)
        return std::unexpected(Failure::noValue);
    if (owner->processID == QCoreApplication::applicationPid())
        return m_own.focusedElement();
    const AtSpiClient* c = client();
    if (!c)
        return std::unexpected(Failure::notTrusted);
    auto app = application(owner->processID);
    if (!app)
        return std::unexpected(Failure::noValue); // the application does not expose its interface
    // The object last pressed or found focused in this application usually still is: one question
    // instead of a walk.
    if (const auto hint = m_focusHints.constFind(app->service); hint != m_focusHints.constEnd()) {
        const auto states = c->states(*hint);
        if (states && has(*states, AtSpiClient::stateFocused) && has(*states, AtSpiClient::stateShowing)) {
            // A part of the focused object may say it has the focus too (the viewport of a Qt text
            // edit): the focus is the outermost object that says so.
            Element focus = *hint;
            for (int depth = 0; depth < 4; ++depth) {
                const auto parent = c->parent(focus);
                const auto above = parent ? c->states(*parent) : std::nullopt;
                if (!above || !has(*above, AtSpiClient::stateFocused))
                    break;
                focus = *parent;
            }
            return handle(focus);
        }
    }
    auto focused = c->focused(*app);
    if (!focused && lastFailure() == Failure::invalidElement) {
        // The remembered application is gone (the process id came back for another program).
        app = application(owner->processID, true);
        focused = app ? c->focused(*app) : std::nullopt;
    }
    if (!focused)
        return std::unexpected(Failure::noValue);
    m_focusHints.insert(focused->service, *focused);
    return handle(*focused);
}

std::optional<AtSpiClient::Element> DesktopAccessibility::application(qint64 processID, bool fresh) const
{
    if (!fresh) {
        const auto it = m_applications.constFind(processID);
        if (it != m_applications.constEnd())
            return *it;
    }
    m_applications.remove(processID);
    const auto app = client()->application(processID);
    if (app)
        m_applications.insert(processID, *app);
    return app;
}

double DesktopAccessibility::scale(const Element& e) const
{
    const auto known = m_scales.constFind(e.service);
    if (known != m_scales.constEnd())
        return *known;
    const AtSpiClient* c = client();
    const auto pid = c ? c->processID(e.service) : std::nullopt;
    if (!pid || !m_windows)
        return 1.0;
    // The widest showing window on the bus against the widest window of the process on screen.
    int logical = 0;
    for (const Element& top : c->children({e.service, QStringLiteral("/org/a11y/atspi/accessible/root")})) {
        const auto states = c->states(top);
        const auto extents = c->extents(top);
        if (states && has(*states, AtSpiClient::stateShowing) && extents)
            logical = std::max(logical, extents->width());
    }
    int device = 0;
    for (const auto& window : m_windows->stacking())
        if (window.processID == *pid)
            device = std::max(device, window.frame.width());
    if (logical <= 0 || device <= 0)
        return 1.0; // not known yet: asked again next time
    // Window decorations make the screen's frame a little wider: quarter steps.
    const double ratio = std::max(1.0, std::round(double(device) / double(logical) * 4.0) / 4.0);
    m_scales.insert(e.service, ratio);
    return ratio;
}

QRectF DesktopAccessibility::toScreen(const Element& e, const QRect& r) const
{
    const double s = scale(e);
    if (s == 1.0)
        return fromDevice(r);
    return fromDevice(QRect(QPoint(qRound(r.x() * s), qRound(r.y() * s)), QSize(qRound(r.width() * s), qRound(r.height() * s))));
}

std::optional<qint64> DesktopAccessibility::processAt(QPoint devicePoint) const
{
    const auto clients = m_windows->stacking();
    for (auto it = clients.crbegin(); it != clients.crend(); ++it)
        if (it->frame.contains(devicePoint))
            return it->processID;
    return std::nullopt;
}

std::expected<AccessibilityElement, Accessibility::Failure> DesktopAccessibility::elementAt(const QPointF& point)
{
    if (!m_windows)
        return std::unexpected(Failure::notTrusted);
    const QPoint device = (point * pixelRatio()).toPoint();
    const auto pid = processAt(device);
    if (!pid || *pid <= 0)
        return std::unexpected(Failure::noValue);
    if (*pid == QCoreApplication::applicationPid())
        return m_own.elementAt(point);
    const AtSpiClient* c = client();
    if (!c)
        return std::unexpected(Failure::notTrusted);
    auto app = application(*pid);
    if (!app)
        return std::unexpected(Failure::noValue);
    auto at = [&](const Element& application) {
        const double s = scale(application);
        return c->at(application, s == 1.0 ? device : (QPointF(device) / s).toPoint());
    };
    auto found = at(*app);
    if (!found && lastFailure() == Failure::invalidElement) {
        app = application(*pid, true);
        found = app ? at(*app) : std::nullopt;
    }
    if (!found)
        return std::unexpected(Failure::noValue);
    m_focusHints.insert(found->service, *found);
    return handle(*found);
}

QString DesktopAccessibility::roleName(uint role, quint64 states)
{
    switch (role) {
    case AtSpiClient::rolePasswordText:
    case roleEntry:
        return QStringLiteral("AXTextField");
    case roleText:
        // Qt marks only the multi-line ones.
        return has(states, stateMultiLine) ? QStringLiteral("AXTextArea") : QStringLiteral("AXTextField");
    case roleTerminal:
    case roleDocumentText:
        return QStringLiteral("AXTextArea");
    case roleLabel:
    case roleParagraph:
    case roleStatic:
        return QStringLiteral("AXStaticText");
    case roleDocumentFrame:
    case roleDocumentWeb:
        return QStringLiteral("AXWebArea");
    case roleComboBox:
        return QStringLiteral("AXComboBox");
    case rolePushButton:
        return QStringLiteral("AXButton");
    case roleFrame:
    case roleWindow:
    case roleDialog:
        return QStringLiteral("AXWindow");
    case roleScrollBar:
        return QStringLiteral("AXScrollBar");
    case roleSlider:
        return QStringLiteral("AXSlider");
    case roleToolBar:
        return QStringLiteral("AXToolbar");
    case roleMenuBar:
        return QStringLiteral("AXMenuBar");
    case roleMenu:
    case rolePopupMenu:
        return QStringLiteral("AXMenu");
    case roleMenuItem:
        return QStringLiteral("AXMenuItem");
    case roleCheckBox:
        return QStringLiteral("AXCheckBox");
    case roleRadioButton:
        return QStringLiteral("AXRadioButton");
    case rolePageTabList:
        return QStringLiteral("AXTabGroup");
    case roleSplitPane:
        return QStringLiteral("AXSplitter");
    case roleImage:
    case roleIcon:
        return QStringLiteral("AXImage");
    case roleList:
        return QStringLiteral("AXList");
    case roleTable:
    case roleTree:
    case roleTreeTable:
        return QStringLiteral("AXTable");
    case rolePanel:
    case roleFiller:
        return QStringLiteral("AXGroup");
    default:
        return QStringLiteral("AXUnknown");
    }
}

int DesktopAccessibility::toCodePoints(const QString& text, qint64 utf16Offset)
{
    return AtSpiClient::length(text.left(qMax<qint64>(0, utf16Offset)), AtSpiClient::Units::codePoints);
}

std::expected<QPair<int, int>, Accessibility::Failure> DesktopAccessibility::selection(const Element& e) const
{
    const auto range = client()->selection(e);
    if (!range)
        return std::unexpected(lastFailure());
    return *range;
}

std::expected<TextRange, Accessibility::Failure> DesktopAccessibility::toUtf16(const Element& e, int start, int end) const
{
    if (units(e) == AtSpiClient::Units::utf16)
        return TextRange{start, end - start};
    // Counted from the text itself, which is read only while that is quick.
    if (end > convertibleLength)
        return std::unexpected(Failure::cannotComplete);
    const auto before = client()->text(e, 0, start);
    const auto inside = client()->text(e, start, end);
    if (!before || !inside)
        return std::unexpected(lastFailure());
    return TextRange{before->size(), inside->size()};
}

std::expected<QString, Accessibility::Failure> DesktopAccessibility::stringAttribute(const AccessibilityElement& handle,
                                                                                     const QString& name)
{
    if (InProcessAccessibility::owns(handle))
        return m_own.stringAttribute(handle, name);
    const AtSpiClient* c = client();
    if (!c)
        return std::unexpected(Failure::notTrusted);
    const Element e = element(handle);
    if (name == QLatin1String(roleAttribute) || name == QLatin1String(subroleAttribute)) {
        const auto role = c->role(e);
        if (!role)
            return std::unexpected(lastFailure());
        if (name == QLatin1String(subroleAttribute)) {
            if (*role == AtSpiClient::rolePasswordText)
                return QString::fromLatin1(secureTextFieldSubrole);
            return std::unexpected(Failure::noValue);
        }
        return roleName(*role, c->states(e).value_or(0));
    }
    if (name == QLatin1String(selectedTextAttribute)) {
        const auto range = selection(e);
        if (!range)
            return std::unexpected(range.error());
        if (range->first == range->second)
            return QString();
        const auto text = c->text(e, range->first, range->second);
        if (!text)
            return std::unexpected(lastFailure());
        return *text;
    }
    if (name == QLatin1String(valueAttribute)) {
        const auto text = c->text(e, 0, -1);
        if (!text)
            return std::unexpected(lastFailure());
        return *text;
    }
    return std::unexpected(Failure::noValue);
}

std::expected<TextRange, Accessibility::Failure> DesktopAccessibility::rangeAttribute(const AccessibilityElement& handle,
                                                                                     const QString& name)
{
    if (InProcessAccessibility::owns(handle))
        return m_own.rangeAttribute(handle, name);
    if (!client())
        return std::unexpected(Failure::notTrusted);
    if (name != QLatin1String(selectedTextRangeAttribute))
        return std::unexpected(Failure::noValue);
    const Element e = element(handle);
    const auto range = selection(e);
    if (!range)
        return std::unexpected(range.error());
    return toUtf16(e, range->first, range->second);
}

std::expected<QRectF, Accessibility::Failure> DesktopAccessibility::rectAttribute(const AccessibilityElement& handle,
                                                                                 const QString& name)
{
    if (InProcessAccessibility::owns(handle))
        return m_own.rectAttribute(handle, name);
    const AtSpiClient* c = client();
    if (!c)
        return std::unexpected(Failure::notTrusted);
    if (name != QLatin1String(frameAttribute))
        return std::unexpected(Failure::noValue);
    const auto frame = c->extents(element(handle));
    if (!frame)
        return std::unexpected(lastFailure());
    return toScreen(element(handle), *frame);
}

std::expected<AccessibilityElement, Accessibility::Failure> DesktopAccessibility::elementAttribute(
    const AccessibilityElement& handle, const QString& name)
{
    if (InProcessAccessibility::owns(handle))
        return m_own.elementAttribute(handle, name);
    if (!client())
        return std::unexpected(Failure::notTrusted);
    if (name == QLatin1String(focusedElementAttribute))
        return focusedElement();
    if (name == QLatin1String(parentAttribute)) {
        const auto parent = client()->parent(element(handle));
        if (!parent)
            return std::unexpected(AtSpiClient::lastError().isEmpty() ? Failure::noValue : lastFailure());
        return DesktopAccessibility::handle(*parent);
    }
    return std::unexpected(Failure::noValue);
}

std::expected<QStringList, Accessibility::Failure> DesktopAccessibility::attributeNames(const AccessibilityElement& handle)
{
    if (InProcessAccessibility::owns(handle))
        return m_own.attributeNames(handle);
    const AtSpiClient* c = client();
    if (!c)
        return std::unexpected(Failure::notTrusted);
    const Element e = element(handle);
    const QStringList interfaces = c->interfaces(e);
    if (interfaces.isEmpty() && !AtSpiClient::lastError().isEmpty())
        return std::unexpected(lastFailure());
    QStringList names{QString::fromLatin1(roleAttribute)};
    if (c->role(e) == AtSpiClient::rolePasswordText)
        names << QString::fromLatin1(subroleAttribute);
    names << QString::fromLatin1(parentAttribute);
    if (interfaces.contains(u"org.a11y.atspi.Component"))
        names << QString::fromLatin1(frameAttribute);
    if (interfaces.contains(u"org.a11y.atspi.Text"))
        names << QString::fromLatin1(valueAttribute) << QString::fromLatin1(selectedTextAttribute)
              << QString::fromLatin1(selectedTextRangeAttribute) << QString::fromLatin1(numberOfCharactersAttribute)
              << QString::fromLatin1(boundsForRangeAttribute);
    return names;
}

std::expected<QRectF, Accessibility::Failure> DesktopAccessibility::boundsForRange(const AccessibilityElement& handle,
                                                                                  const TextRange& range)
{
    if (InProcessAccessibility::owns(handle))
        return m_own.boundsForRange(handle, range);
    const AtSpiClient* c = client();
    if (!c)
        return std::unexpected(Failure::notTrusted);
    const Element e = element(handle);
    int start = int(range.location), end = int(range.location + range.length);
    if (units(e) == AtSpiClient::Units::codePoints) {
        // As many code points as the range has UTF-16 units reach at least its end.
        if (end > convertibleLength)
            return std::unexpected(Failure::cannotComplete);
        const auto text = c->text(e, 0, end);
        if (!text)
            return std::unexpected(lastFailure());
        start = toCodePoints(*text, range.location);
        end = toCodePoints(*text, range.location + range.length);
    }
    // Screen coordinates: the window-relative variant is wrong in some toolkits.
    if (end - start <= longRange) {
        const auto bounds = c->rangeExtents(e, start, end);
        if (!bounds)
            return std::unexpected(lastFailure());
        return toScreen(e, *bounds);
    }
    // An application lays out the whole of a long range to measure it (a few megabytes keep it
    // busy for many seconds): its first and last characters tell where it lies, the lines between
    // as wide as the element.
    const auto first = c->rangeExtents(e, start, start + 1);
    const auto last = first ? c->rangeExtents(e, end - 1, end) : std::nullopt;
    if (!first || !last)
        return std::unexpected(lastFailure());
    QRect bounds = first->united(*last);
    if (last->top() > first->bottom())
        if (const auto frame = c->extents(e)) {
            bounds.setLeft(std::min(bounds.left(), frame->left()));
            bounds.setRight(std::max(bounds.right(), frame->right()));
        }
    return toScreen(e, bounds);
}

std::expected<Accessibility::TextPart, Accessibility::Failure> DesktopAccessibility::selectedTextPart(
    const AccessibilityElement& handle, qint64 limit)
{
    if (InProcessAccessibility::owns(handle))
        return m_own.selectedTextPart(handle, limit);
    const AtSpiClient* c = client();
    if (!c)
        return std::unexpected(Failure::notTrusted);
    const Element e = element(handle);
    const auto range = selection(e);
    if (!range)
        return std::unexpected(range.error());
    if (range->first == range->second)
        return TextPart{};
    // As many characters as units are asked for: never fewer units than that.
    const int asked = int(std::min<qint64>(range->second, qint64(range->first) + std::max<qint64>(limit, 0)));
    const auto text = c->text(e, range->first, asked);
    if (!text)
        return std::unexpected(lastFailure());
    return partOf(*text, limit, asked == range->second);
}

void DesktopAccessibility::readSelectedText(const AccessibilityElement& handle, QObject* receiver, TextDone done)
{
    if (InProcessAccessibility::owns(handle))
        return m_own.readSelectedText(handle, receiver, std::move(done));
    const AtSpiClient* c = client();
    if (!c)
        return answerLater(receiver, std::move(done), std::unexpected(Failure::notTrusted));
    const Element e = element(handle);
    const auto range = selection(e);
    if (!range)
        return answerLater(receiver, std::move(done), std::unexpected(range.error()));
    if (range->first == range->second)
        return answerLater(receiver, std::move(done), QString());
    const qint64 length = range->second - range->first;
    const int timeout = int(std::min<qint64>(callTimeout + length * wholeTextMsPerMillion / 1000000, std::numeric_limits<int>::max()));
    c->textAsync(e, range->first, range->second, timeout, receiver,
                 [done = std::move(done)](std::optional<QString> text, const QString& error) {
                     if (text)
                         done(*text);
                     else
                         done(std::unexpected(failureOf(error)));
                 });
}

std::expected<bool, Accessibility::Failure> DesktopAccessibility::isAttributeSettable(const AccessibilityElement& handle,
                                                                                     const QString& name)
{
    if (InProcessAccessibility::owns(handle))
        return m_own.isAttributeSettable(handle, name);
    const AtSpiClient* c = client();
    if (!c)
        return std::unexpected(Failure::notTrusted);
    if (name != QLatin1String(selectedTextAttribute) && name != QLatin1String(valueAttribute))
        return false;
    const Element e = element(handle);
    const auto states = c->states(e);
    if (!states)
        return std::unexpected(lastFailure());
    return has(*states, AtSpiClient::stateEditable) && c->interfaces(e).contains(u"org.a11y.atspi.EditableText");
}

std::expected<void, Accessibility::Failure> DesktopAccessibility::setStringAttribute(const AccessibilityElement& handle,
                                                                                    const QString& name,
                                                                                    const QString& value)
{
    if (InProcessAccessibility::owns(handle))
        return m_own.setStringAttribute(handle, name, value);
    const AtSpiClient* c = client();
    if (!c)
        return std::unexpected(Failure::notTrusted);
    const auto settable = isAttributeSettable(handle, name);
    if (!settable)
        return std::unexpected(settable.error());
    if (!*settable)
        return std::unexpected(Failure::notSettable);
    const Element e = element(handle);
    int start = 0, end = -1;
    if (name == QLatin1String(selectedTextAttribute)) {
        const auto range = selection(e);
        if (!range)
            return std::unexpected(range.error());
        start = range->first;
        end = range->second;
    } else {
        const auto count = c->characterCount(e);
        if (!count)
            return std::unexpected(lastFailure());
        end = *count;
    }
    // Replacing is deleting the range and inserting the text, which is then selected again.
    if (end > start && !c->deleteText(e, start, end))
        return std::unexpected(lastFailure());
    const int length = AtSpiClient::length(value, units(e));
    if (!value.isEmpty() && !c->insertText(e, start, value, length))
        return std::unexpected(lastFailure());
    if (name == QLatin1String(selectedTextAttribute))
        c->setSelection(e, start, start + length);
    return {};
}

} // namespace Platform
