#pragma once

#include "ContextCore/SelectionGate.h"
#include "Platform/Accessibility.h"

#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

// Stateless reads of other applications' interfaces. Every read that fails, answers nothing or
// answers a value of the wrong kind counts as absent; nothing here reports an error.
namespace AccessibilityBridge {

using Element = Platform::AccessibilityElement;

struct ElementDescription {
    std::optional<QString> role;
    bool exposesSelectedText = false;
    std::optional<QString> selectedText; // as read for the evidence; none when it cannot be read
    bool selectionComplete = true;       // the text read is the whole selection, not its beginning
    SelectionGate::SelectionEvidence evidence = SelectionGate::SelectionEvidence::unknown;
    bool advertisesTextAttributes = false;
    bool elementFound = false;
    std::optional<Element> element; // the element found, to ask again later
    bool operator==(const ElementDescription&) const = default;
};

// The element with the keyboard focus (the system-wide "AXFocusedUIElement").
std::optional<Element> focusedElement(Platform::Accessibility& ax);
std::optional<Element> copyElement(Platform::Accessibility& ax, const Element& element, const QString& attribute);
std::optional<QString> string(Platform::Accessibility& ax, const Element& element, const QString& attribute);
// The selected text of an element as one read gives it, and the evidence of a selection it
// makes (the range is asked only when the text cannot be read). A selection may be megabytes
// long: what is read is its first selectionPartLength units, which is all that the toolbar's
// decisions look at; the rest is read when an action needs it.
struct SelectionRead {
    std::optional<QString> text;
    SelectionGate::SelectionEvidence evidence = SelectionGate::SelectionEvidence::unknown;
    bool complete = true; // `text` is the whole selection
    bool operator==(const SelectionRead&) const = default;
};
constexpr qint64 selectionPartLength = 1 << 16;
SelectionRead readSelection(Platform::Accessibility& ax, const std::optional<Element>& element);
SelectionGate::SelectionEvidence selectionEvidence(Platform::Accessibility& ax, const std::optional<Element>& element);
bool advertisesTextAttributes(Platform::Accessibility& ax, const Element& element);
// The window an element lies in: itself when its role is "AXWindow", else its nearest ancestor
// of that role; none when the walk up finds none.
std::optional<Element> window(Platform::Accessibility& ax, const Element& element);
constexpr int maximumWindowDepth = 64;
// The element that holds the text the user pressed on: `element` (found at the point, top-left
// coordinates) when it advertises text attributes; otherwise its nearest ancestor below the
// window that does, or else the focused element when it does, its frame holds the point and it
// lies in the same application and window as `element`. None when there is no such element (a
// canvas, an image).
std::optional<Element> textElement(Platform::Accessibility& ax, const Element& element, const QPointF& topLeftPoint);
constexpr int maximumTextAncestorDepth = 8;
// The element under a point in screen coordinates, taken as its text element where it has one;
// the empty description without a primary screen or without an element there.
ElementDescription elementDescription(Platform::Accessibility& ax, std::optional<double> primaryHeight, const QPointF& point);
// The selection's rectangle in screen coordinates (unconverted without a primary screen), cut to
// the element's own frame where it reaches beyond it; none when it cannot be read or is not a
// finite, sensible rectangle.
std::optional<QRectF> selectionBounds(Platform::Accessibility& ax, const Element& element, std::optional<double> primaryHeight);
bool isSecure(Platform::Accessibility& ax, const Element& element);
bool isEditable(Platform::Accessibility& ax, const Element& element);

} // namespace AccessibilityBridge
