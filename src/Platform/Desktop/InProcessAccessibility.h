#pragma once

#include "Platform/Accessibility.h"

class QAccessibleInterface;

namespace Platform {

// This process's own windows read and written through Qt's accessibility interfaces, in the
// process. Our main thread cannot answer a question it asks itself over the accessibility bus
// (it waits for the answer), so our own widgets are never asked that way. Elements are named by
// `service` alone and Qt's ids of their interfaces; an element whose widget has gone is invalid.
// Always trusted; every call answers at once. Main thread only.
class InProcessAccessibility final : public Accessibility {
    Q_OBJECT
public:
    // The service of every element of ours: no name the bus could give an application.
    static constexpr auto service = "in-process";
    static bool owns(const AccessibilityElement& element);

    using Accessibility::Accessibility;

    bool isTrusted() const override { return true; }
    bool promptForTrust() override { return true; }

    // The widget with the keyboard focus in this application.
    std::expected<AccessibilityElement, Failure> focusedElement() override;
    // The deepest widget at the point in whichever of our windows the server shows there.
    std::expected<AccessibilityElement, Failure> elementAt(const QPointF& point) override;

    std::expected<QString, Failure> stringAttribute(const AccessibilityElement& element, const QString& name) override;
    std::expected<TextRange, Failure> rangeAttribute(const AccessibilityElement& element, const QString& name) override;
    std::expected<QRectF, Failure> rectAttribute(const AccessibilityElement& element, const QString& name) override;
    std::expected<AccessibilityElement, Failure> elementAttribute(const AccessibilityElement& element,
                                                                  const QString& name) override;
    std::expected<QStringList, Failure> attributeNames(const AccessibilityElement& element) override;
    std::expected<QRectF, Failure> boundsForRange(const AccessibilityElement& element, const TextRange& range) override;
    std::expected<TextPart, Failure> selectedTextPart(const AccessibilityElement& element, qint64 limit) override;
    void readSelectedText(const AccessibilityElement& element, QObject* receiver, TextDone done) override;

    std::expected<bool, Failure> isAttributeSettable(const AccessibilityElement& element, const QString& name) override;
    std::expected<void, Failure> setStringAttribute(const AccessibilityElement& element, const QString& name,
                                                    const QString& value) override;

private:
    static AccessibilityElement handle(QAccessibleInterface* interface);
    static std::expected<QAccessibleInterface*, Failure> resolve(const AccessibilityElement& element);
    static QString roleName(QAccessibleInterface* interface);
    // The selection, or the caret as an empty one; none without a text.
    static std::optional<QPair<int, int>> selection(QAccessibleInterface* interface);
};

} // namespace Platform
