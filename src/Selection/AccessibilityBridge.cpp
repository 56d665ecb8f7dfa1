#include "Selection/AccessibilityBridge.h"

#include "Selection/ScreenGeometry.h"

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

SelectionEvidence selectionEvidence(Accessibility& ax, const std::optional<Element>& element)
{
    if (!element)
        return SelectionEvidence::unknown;
    if (auto text = string(ax, *element, name(Accessibility::selectedTextAttribute)))
        return text->isEmpty() ? SelectionEvidence::empty : SelectionEvidence::nonEmpty;
    if (auto range = ax.rangeAttribute(*element, name(Accessibility::selectedTextRangeAttribute)))
        return range->length >= 1 ? SelectionEvidence::nonEmpty : SelectionEvidence::empty;
    return SelectionEvidence::unknown;
}

bool advertisesTextAttributes(Accessibility& ax, const Element& element)
{
    auto names = ax.attributeNames(element);
    if (!names)
        return true;
    return SelectionGate::hasTextBearingAttribute(*names);
}

ElementDescription elementDescription(Accessibility& ax, std::optional<double> primaryHeight, const QPointF& point)
{
    if (!primaryHeight)
        return {};
    auto found = ax.elementAt(ScreenGeometry::flipped(point, *primaryHeight));
    if (!found || found->isNull())
        return {};
    ElementDescription d;
    d.exposesSelectedText = ax.stringAttribute(*found, name(Accessibility::selectedTextAttribute)).has_value();
    d.evidence = selectionEvidence(ax, *found);
    d.role = string(ax, *found, name(Accessibility::roleAttribute));
    d.advertisesTextAttributes = advertisesTextAttributes(ax, *found);
    d.elementFound = true;
    d.element = *found;
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
    const QRectF r = *bounds;
    for (double v : {r.x(), r.y(), r.width(), r.height()})
        if (!std::isfinite(v) || std::abs(v) > largestCoordinate)
            return std::nullopt;
    // A caret (zero width) is a place; a negative size is not.
    if (r.width() < 0 || r.height() < 0)
        return std::nullopt;
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
