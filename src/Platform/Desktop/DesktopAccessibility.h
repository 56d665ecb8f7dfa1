#pragma once

#include "Platform/Accessibility.h"
#include "Platform/Desktop/AtSpiClient.h"
#include "Platform/Desktop/InProcessAccessibility.h"

#include <QHash>

#include <memory>
#include <optional>

namespace Platform {

class EwmhWindows;
class X11Connection;

// Other applications' interfaces through the accessibility bus (AT-SPI 2). The focused element is
// found in the application of the active window (matched by its process id); offsets are turned
// into UTF-16 units from whatever the application counts in; coordinates are screen pixels turned
// into device-independent ones. This application's own windows are read in the process instead
// (InProcessAccessibility): our main thread cannot answer the bus while it waits on it. Trusted
// while the bus is reachable and switched on; asking for trust switches it on. Without an X11
// session it is never trusted.
class DesktopAccessibility final : public Accessibility {
    Q_OBJECT
public:
    explicit DesktopAccessibility(std::shared_ptr<X11Connection> connection, QObject* parent = nullptr);
    ~DesktopAccessibility() override;

    bool isTrusted() const override;
    bool promptForTrust() override;

    std::expected<AccessibilityElement, Failure> focusedElement() override;
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

    // Offsets of an application that counts in code points are turned into UTF-16 units from its
    // text up to them, read only up to this many characters (a few tens of milliseconds).
    static constexpr int convertibleLength = 1 << 20;
    // A range longer than this is measured by its first and last characters.
    static constexpr int longRange = 256;

    // The role name this interface uses for an AT-SPI role and state set.
    static QString roleName(uint role, quint64 states);
    // A UTF-16 offset in a text as a count of code points, and back.
    static int toCodePoints(const QString& text, qint64 utf16Offset);

private:
    using Element = AtSpiClient::Element;
    static Element element(const AccessibilityElement& e) { return {e.service, e.path}; }
    static AccessibilityElement handle(const Element& e) { return {e.service, e.path}; }

    const AtSpiClient* client() const;
    Failure lastFailure() const;
    static Failure failureOf(const QString& error);
    AtSpiClient::Units units(const Element& e) const;
    // The selection in the application's units, and the element's text up to its end.
    std::expected<QPair<int, int>, Failure> selection(const Element& e) const;
    std::expected<TextRange, Failure> toUtf16(const Element& e, int start, int end) const;
    std::optional<qint64> processAt(QPoint devicePoint) const;
    // Device pixels per unit of the application's own coordinates: more than 1 for one scaled
    // by its toolkit (QT_SCALE_FACTOR, GDK_SCALE), which reports logical coordinates.
    double scale(const Element& e) const;
    QRectF toScreen(const Element& e, const QRect& applicationRect) const;
    // The application of a process on the bus, remembered: finding it asks every application.
    std::optional<Element> application(qint64 processID, bool fresh = false) const;

    std::shared_ptr<X11Connection> m_x;
    std::unique_ptr<EwmhWindows> m_windows;
    InProcessAccessibility m_own;
    mutable std::optional<AtSpiClient> m_client;
    mutable QHash<QString, AtSpiClient::Units> m_units; // by service
    mutable QHash<qint64, Element> m_applications;      // by process id
    mutable QHash<QString, double> m_scales;            // by service
    QHash<QString, Element> m_focusHints;                // by service: where the focus likely is
};

} // namespace Platform
