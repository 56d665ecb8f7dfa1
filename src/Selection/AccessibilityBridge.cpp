#include "Selection/AccessibilityBridge.h"

#include "Selection/ScreenGeometry.h"

#include <algorithm>
#include <cmath>

namespace AccessibilityBridge {

using Platform::Accessibility;
using SelectionGate::SelectionEvidence;

namespace {
QString name(const char* attribute)
{
    return QString::fromLatin1(attribute);
}

// Beyond any screen: an application reporting this has given garbage, not a place.
constexpr double largestCoordinate = 1e7;

// Finite, on some screen, and not of negative size (a caret, zero wide, is a place).
bool sensible(const QRectF& r)
{
    for (double v : {r.x(), r.y(), r.width(), r.height()})
        if (!std::isfinite(v) || std::abs(v) > largestCoordinate)
            return false;
    return r.width() >= 0 && r.height() >= 0;
}
} // namespace

std::optional<Element> focusedElement(Accessibility& ax)
{
    auto e = ax.focusedElement();
    if (!e || e->isNull())
        return std::nullopt;
    return *e;
}

std::optional<Element> copyElement(Accessibility& ax, const Element& element, const QString& attribute)
{
    auto e = ax.elementAttribute(element, attribute);
    if (!e || e->isNull())
        return std::nullopt;
    return *e;
}

std::optional<QString> string(Accessibility& ax, const Element& element, const QString& attribute)
{
    auto s = ax.stringAttribute(element, attribute);
    if (!s)
        return std::nullopt;
    return *s;
}

SelectionRead readSelection(Accessibility& ax, const std::optional<Element>& element)
{
    if (!element)
        return {};
    if (auto part = ax.selectedTextPart(*element, selectionPartLength))
        return {part->text, part->text.isEmpty() ? SelectionEvidence::empty : SelectionEvidence::nonEmpty, part->complete};
    if (auto range = ax.rangeAttribute(*element, name(Accessibility::selectedTextRangeAttribute)))
        return {std::nullopt, range->length >= 1 ? SelectionEvidence::nonEmpty : SelectionEvidence::empty};
    return {};
}

SelectionEvidence selectionEvidence(Accessibility& ax, const std::optional<Element>& element)
{
    return readSelection(ax, element).evidence;
}

bool advertisesTextAttributes(Accessibility& ax, const Element& element)
{
    auto names = ax.attributeNames(element);
    if (!names)
        return true;
    return SelectionGate::hasTextBearingAttribute(*names);
}

std::optional<Element> window(Accessibility& ax, const Element& element)
{
    const QString windowRole = QStringLiteral("AXWindow");
    Element current = element;
    for (int depth = 0; depth <= maximumWindowDepth; ++depth) {
        if (string(ax, current, name(Accessibility::roleAttribute)) == windowRole)
            return current;
        const auto parent = copyElement(ax, current, name(Accessibility::parentAttribute));
        if (!parent || *parent == current)
            return std::nullopt;
        current = *parent;
    }
    return std::nullopt;
}

std::optional<Element> textElement(Accessibility& ax, const Element& element, const QPointF& topLeftPoint)
{
    if (advertisesTextAttributes(ax, element))
        return element;
    // A text view may answer a part of itself at the point (Qt's viewport of a text edit): the
    // text is its ancestor's. The window is where that search ends.
    const QString windowRole = QStringLiteral("AXWindow");
    std::optional<Element> pressedWindow;
    Element current = element;
    for (int depth = 0; depth < maximumTextAncestorDepth; ++depth) {
        const auto parent = copyElement(ax, current, name(Accessibility::parentAttribute));
        if (!parent || *parent == current)
            break;
        if (string(ax, *parent, name(Accessibility::roleAttribute)) == windowRole) {
            pressedWindow = parent;
            break;
        }
        if (advertisesTextAttributes(ax, *parent))
            return *parent;
        current = *parent;
    }
    // Or the element with the keyboard focus, when it is what lies there. Only one of the same
    // application, in the window pressed in: the focus stays in a window that lies under another
    // one, or under a window that takes no focus, and its text was not pressed on.
    const auto focused = focusedElement(ax);
    if (!focused || focused->service != element.service || !advertisesTextAttributes(ax, *focused))
        return std::nullopt;
    const auto frame = ax.rectAttribute(*focused, name(Accessibility::frameAttribute));
    if (!frame || !frame->contains(topLeftPoint))
        return std::nullopt;
    if (!pressedWindow)
        pressedWindow = window(ax, element);
    if (!pressedWindow || window(ax, *focused) != pressedWindow)
        return std::nullopt;
    return *focused;
}

ElementDescription elementDescription(Accessibility& ax, std::optional<double> primaryHeight, const QPointF& point)
{
    if (!primaryHeight)
        return {};
    const QPointF topLeft = ScreenGeometry::flipped(point, *primaryHeight);
    auto found = ax.elementAt(topLeft);
    if (!found || found->isNull())
        return {};
    const Element element = textElement(ax, *found, topLeft).value_or(*found);
    ElementDescription d;
    const SelectionRead selection = readSelection(ax, element);
    d.exposesSelectedText = selection.text.has_value();
    d.selectedText = selection.text;
    d.selectionComplete = selection.complete;
    d.evidence = selection.evidence;
    d.role = string(ax, element, name(Accessibility::roleAttribute));
    d.advertisesTextAttributes = advertisesTextAttributes(ax, element);
    d.elementFound = true;
    d.element = element;
    return d;
}

std::optional<QRectF> selectionBounds(Accessibility& ax, const Element& element, std::optional<double> primaryHeight)
{
    auto range = ax.rangeAttribute(element, name(Accessibility::selectedTextRangeAttribute));
    if (!range)
        return std::nullopt;
    auto bounds = ax.boundsForRange(element, *range);
    if (!bounds)
        return std::nullopt;
    QRectF r = *bounds;
    if (!sensible(r))
        return std::nullopt;
    // A scrolled field reports all of its selection, also what lies out of sight beyond its
    // edges (perhaps over another screen): only the part it shows is where the user looks.
    if (const auto frame = ax.rectAttribute(element, name(Accessibility::frameAttribute)); frame && sensible(*frame)) {
        const double left = std::clamp(r.left(), frame->left(), frame->right());
        const double right = std::clamp(r.right(), frame->left(), frame->right());
        const double top = std::clamp(r.top(), frame->top(), frame->bottom());
        const double bottom = std::clamp(r.bottom(), frame->top(), frame->bottom());
        r = QRectF(QPointF(left, top), QPointF(right, bottom));
    }
    if (!primaryHeight)
        return r;
    return ScreenGeometry::flipped(r, *primaryHeight);
}

bool isSecure(Accessibility& ax, const Element& element)
{
    const QString secure = name(Accessibility::secureTextFieldSubrole);
    if (auto role = string(ax, element, name(Accessibility::roleAttribute)); role && *role == secure)
        return true;
    auto subrole = string(ax, element, name(Accessibility::subroleAttribute));
    return subrole && *subrole == secure;
}

bool isEditable(Accessibility& ax, const Element& element)
{
    if (auto s = ax.isAttributeSettable(element, name(Accessibility::selectedTextAttribute)); s && *s)
        return true;
    auto v = ax.isAttributeSettable(element, name(Accessibility::valueAttribute));
    return v && *v;
}

} // namespace AccessibilityBridge
