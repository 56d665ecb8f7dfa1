#include "Platform/Desktop/InProcessAccessibility.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>

namespace Platform {
namespace {

QString name(const char* attribute)
{
    return QString::fromLatin1(attribute);
}

bool isWindow(QAccessibleInterface* interface)
{
    const QAccessibleInterface* parent = interface->parent();
    return (parent && parent->role() == QAccessible::Application) || interface->role() == QAccessible::Window
        || interface->role() == QAccessible::Dialog;
}

} // namespace

bool InProcessAccessibility::owns(const AccessibilityElement& element)
{
    return element.service == QLatin1String(service);
}

AccessibilityElement InProcessAccessibility::handle(QAccessibleInterface* interface)
{
    return {name(service), QString::number(QAccessible::uniqueId(interface))};
}

std::expected<QAccessibleInterface*, Accessibility::Failure> InProcessAccessibility::resolve(const AccessibilityElement& element)
{
    bool number = false;
    const QAccessible::Id id = element.path.toUInt(&number);
    QAccessibleInterface* interface = owns(element) && number ? QAccessible::accessibleInterface(id) : nullptr;
    if (!interface || !interface->isValid())
        return std::unexpected(Failure::invalidElement);
    return interface;
}

QString InProcessAccessibility::roleName(QAccessibleInterface* interface)
{
    if (isWindow(interface))
        return QStringLiteral("AXWindow");
    switch (interface->role()) {
    case QAccessible::EditableText:
        return interface->state().multiLine ? QStringLiteral("AXTextArea") : QStringLiteral("AXTextField");
    case QAccessible::Terminal:
        return QStringLiteral("AXTextArea");
    case QAccessible::StaticText:
    case QAccessible::Paragraph:
        return QStringLiteral("AXStaticText");
    case QAccessible::Document:
    case QAccessible::WebDocument:
        return QStringLiteral("AXWebArea");
    case QAccessible::ComboBox:
        return QStringLiteral("AXComboBox");
    case QAccessible::PushButton:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
        return QStringLiteral("AXButton");
    case QAccessible::ScrollBar:
        return QStringLiteral("AXScrollBar");
    case QAccessible::Slider:
        return QStringLiteral("AXSlider");
    case QAccessible::ToolBar:
        return QStringLiteral("AXToolbar");
    case QAccessible::MenuBar:
        return QStringLiteral("AXMenuBar");
    case QAccessible::PopupMenu:
        return QStringLiteral("AXMenu");
    case QAccessible::MenuItem:
        return QStringLiteral("AXMenuItem");
    case QAccessible::CheckBox:
        return QStringLiteral("AXCheckBox");
    case QAccessible::RadioButton:
        return QStringLiteral("AXRadioButton");
    case QAccessible::PageTabList:
        return QStringLiteral("AXTabGroup");
    case QAccessible::Splitter:
        return QStringLiteral("AXSplitter");
    case QAccessible::Graphic:
        return QStringLiteral("AXImage");
    case QAccessible::List:
        return QStringLiteral("AXList");
    case QAccessible::Table:
    case QAccessible::Tree:
        return QStringLiteral("AXTable");
    case QAccessible::Client:
    case QAccessible::Grouping:
    case QAccessible::Pane:
    case QAccessible::Section:
    case QAccessible::Form:
        return QStringLiteral("AXGroup");
    default:
        return QStringLiteral("AXUnknown");
    }
}

std::optional<QPair<int, int>> InProcessAccessibility::selection(QAccessibleInterface* interface)
{
    QAccessibleTextInterface* text = interface->textInterface();
    if (!text)
        return std::nullopt;
    if (text->selectionCount() <= 0) {
        const int caret = std::clamp(text->cursorPosition(), 0, text->characterCount());
        return QPair<int, int>(caret, caret);
    }
    int start = 0, end = 0;
    text->selection(0, &start, &end);
    if (start > end)
        std::swap(start, end);
    const int count = text->characterCount();
    return QPair<int, int>(std::clamp(start, 0, count), std::clamp(end, 0, count));
}

std::expected<AccessibilityElement, Accessibility::Failure> InProcessAccessibility::focusedElement()
{
    QObject* focus = QGuiApplication::focusObject();
    QAccessibleInterface* interface = focus ? QAccessible::queryAccessibleInterface(focus) : nullptr;
    if (!interface || !interface->isValid())
        return std::unexpected(Failure::noValue);
    return handle(interface);
}

std::expected<AccessibilityElement, Accessibility::Failure> InProcessAccessibility::elementAt(const QPointF& point)
{
    const QPoint at = point.toPoint();
    QWindow* window = QGuiApplication::topLevelAt(at);
    QAccessibleInterface* current = window ? window->accessibleRoot() : nullptr;
    if (!current || !current->isValid())
        return std::unexpected(Failure::noValue);
    for (int depth = 0; depth < 64; ++depth) {
        QAccessibleInterface* child = current->childAt(at.x(), at.y());
        if (!child || child == current || !child->isValid())
            break;
        current = child;
    }
    return handle(current);
}

std::expected<QString, Accessibility::Failure> InProcessAccessibility::stringAttribute(const AccessibilityElement& element,
                                                                                        const QString& attribute)
{
    const auto interface = resolve(element);
    if (!interface)
        return std::unexpected(interface.error());
    QAccessibleInterface* i = *interface;
    if (attribute == QLatin1String(roleAttribute))
        return roleName(i);
    if (attribute == QLatin1String(subroleAttribute)) {
        if (i->state().passwordEdit)
            return name(secureTextFieldSubrole);
        return std::unexpected(Failure::noValue);
    }
    QAccessibleTextInterface* text = i->textInterface();
    if (!text || (attribute != QLatin1String(selectedTextAttribute) && attribute != QLatin1String(valueAttribute)))
        return std::unexpected(Failure::noValue);
    if (attribute == QLatin1String(valueAttribute))
        return text->text(0, text->characterCount());
    const auto range = selection(i);
    if (!range || range->first == range->second)
        return QString();
    return text->text(range->first, range->second);
}

std::expected<TextRange, Accessibility::Failure> InProcessAccessibility::rangeAttribute(const AccessibilityElement& element,
                                                                                       const QString& attribute)
{
    const auto interface = resolve(element);
    if (!interface)
        return std::unexpected(interface.error());
    if (attribute != QLatin1String(selectedTextRangeAttribute))
        return std::unexpected(Failure::noValue);
    const auto range = selection(*interface);
    if (!range)
        return std::unexpected(Failure::noValue);
    return TextRange{range->first, range->second - range->first};
}

std::expected<QRectF, Accessibility::Failure> InProcessAccessibility::rectAttribute(const AccessibilityElement& element,
                                                                                   const QString& attribute)
{
    const auto interface = resolve(element);
    if (!interface)
        return std::unexpected(interface.error());
    if (attribute != QLatin1String(frameAttribute))
        return std::unexpected(Failure::noValue);
    return QRectF((*interface)->rect());
}

std::expected<AccessibilityElement, Accessibility::Failure> InProcessAccessibility::elementAttribute(
    const AccessibilityElement& element, const QString& attribute)
{
    if (attribute == QLatin1String(focusedElementAttribute))
        return focusedElement();
    const auto interface = resolve(element);
    if (!interface)
        return std::unexpected(interface.error());
    if (attribute != QLatin1String(parentAttribute))
        return std::unexpected(Failure::noValue);
    // A window names no parent: what holds it is the application, no element of its interface.
    QAccessibleInterface* parent = (*interface)->parent();
    if (!parent || !parent->isValid() || parent->role() == QAccessible::Application)
        return std::unexpected(Failure::noValue);
    return handle(parent);
}

std::expected<QStringList, Accessibility::Failure> InProcessAccessibility::attributeNames(const AccessibilityElement& element)
{
    const auto interface = resolve(element);
    if (!interface)
        return std::unexpected(interface.error());
    QStringList names{name(roleAttribute)};
    if ((*interface)->state().passwordEdit)
        names << name(subroleAttribute);
    names << name(parentAttribute) << name(frameAttribute);
    if ((*interface)->textInterface())
        names << name(valueAttribute) << name(selectedTextAttribute) << name(selectedTextRangeAttribute)
              << name(numberOfCharactersAttribute) << name(boundsForRangeAttribute);
    return names;
}

std::expected<QRectF, Accessibility::Failure> InProcessAccessibility::boundsForRange(const AccessibilityElement& element,
                                                                                    const TextRange& range)
{
    const auto interface = resolve(element);
    if (!interface)
        return std::unexpected(interface.error());
    QAccessibleTextInterface* text = (*interface)->textInterface();
    if (!text)
        return std::unexpected(Failure::noValue);
    const int count = text->characterCount();
    const int first = int(std::clamp<qint64>(range.location, 0, count));
    const int last = int(std::clamp<qint64>(range.location + range.length - 1, first, count));
    const QRect start = text->characterRect(first);
    if (range.length <= 0)
        return QRectF(start.left(), start.top(), 0, start.height());
    QRectF bounds = QRectF(start).united(QRectF(text->characterRect(last)));
    // Over several lines the lines between run the element's whole width: as wide as it is.
    if (text->characterRect(last).top() > start.bottom()) {
        const QRect frame = (*interface)->rect();
        bounds.setLeft(std::min<qreal>(bounds.left(), frame.left()));
        bounds.setRight(std::max<qreal>(bounds.right(), frame.right()));
    }
    return bounds;
}

std::expected<Accessibility::TextPart, Accessibility::Failure> InProcessAccessibility::selectedTextPart(
    const AccessibilityElement& element, qint64 limit)
{
    const auto interface = resolve(element);
    if (!interface)
        return std::unexpected(interface.error());
    const auto range = selection(*interface);
    if (!range)
        return std::unexpected(Failure::noValue);
    // One unit more than asked for tells whether the limit cuts the selection.
    const qint64 end = std::min<qint64>(range->second, range->first + std::max<qint64>(limit, 0) + 1);
    return partOf((*interface)->textInterface()->text(range->first, int(end)), limit, end == range->second);
}

void InProcessAccessibility::readSelectedText(const AccessibilityElement& element, QObject* receiver, TextDone done)
{
    const auto text = stringAttribute(element, name(selectedTextAttribute));
    answerLater(receiver, std::move(done), text);
}

std::expected<bool, Accessibility::Failure> InProcessAccessibility::isAttributeSettable(const AccessibilityElement& element,
                                                                                       const QString& attribute)
{
    const auto interface = resolve(element);
    if (!interface)
        return std::unexpected(interface.error());
    if (attribute != QLatin1String(selectedTextAttribute) && attribute != QLatin1String(valueAttribute))
        return false;
    const QAccessible::State state = (*interface)->state();
    return (*interface)->editableTextInterface() && (*interface)->textInterface() && !state.readOnly && !state.disabled;
}

std::expected<void, Accessibility::Failure> InProcessAccessibility::setStringAttribute(const AccessibilityElement& element,
                                                                                      const QString& attribute,
                                                                                      const QString& value)
{
    const auto settable = isAttributeSettable(element, attribute);
    if (!settable)
        return std::unexpected(settable.error());
    if (!*settable)
        return std::unexpected(Failure::notSettable);
    QAccessibleInterface* interface = *resolve(element);
    QAccessibleTextInterface* text = interface->textInterface();
    int start = 0, end = text->characterCount();
    if (attribute == QLatin1String(selectedTextAttribute)) {
        const auto range = selection(interface);
        start = range->first;
        end = range->second;
    }
    interface->editableTextInterface()->replaceText(start, end, value);
    // The text written is selected again, as over the bus.
    if (attribute == QLatin1String(selectedTextAttribute)) {
        const int written = start + int(value.size());
        if (text->selectionCount() > 0)
            text->setSelection(0, start, written);
        else
            text->addSelection(start, written);
    }
    return {};
}

} // namespace Platform
