#pragma once

#include "Platform/Accessibility.h"
#include "Platform/EventMonitors.h"
#include "Platform/Keystrokes.h"
#include "Platform/WindowList.h"

namespace Platform {

// Stand-ins for services this session cannot offer: they say so (not trusted, not available)
// and every call fails or answers nothing, so nothing pretends to work.
class UnavailableAccessibility final : public Accessibility {
    Q_OBJECT
public:
    using Accessibility::Accessibility;
    bool isTrusted() const override { return false; }
    bool promptForTrust() override { return false; }
    std::expected<AccessibilityElement, Failure> focusedElement() override { return std::unexpected(Failure::notTrusted); }
    std::expected<AccessibilityElement, Failure> elementAt(const QPointF&) override { return std::unexpected(Failure::notTrusted); }
    std::expected<QString, Failure> stringAttribute(const AccessibilityElement&, const QString&) override { return std::unexpected(Failure::notTrusted); }
    std::expected<TextRange, Failure> rangeAttribute(const AccessibilityElement&, const QString&) override { return std::unexpected(Failure::notTrusted); }
    std::expected<QRectF, Failure> rectAttribute(const AccessibilityElement&, const QString&) override { return std::unexpected(Failure::notTrusted); }
    std::expected<AccessibilityElement, Failure> elementAttribute(const AccessibilityElement&, const QString&) override { return std::unexpected(Failure::notTrusted); }
    std::expected<QStringList, Failure> attributeNames(const AccessibilityElement&) override { return std::unexpected(Failure::notTrusted); }
    std::expected<QRectF, Failure> boundsForRange(const AccessibilityElement&, const TextRange&) override { return std::unexpected(Failure::notTrusted); }
    std::expected<TextPart, Failure> selectedTextPart(const AccessibilityElement&, qint64) override { return std::unexpected(Failure::notTrusted); }
    void readSelectedText(const AccessibilityElement&, QObject* receiver, TextDone done) override
    {
        answerLater(receiver, std::move(done), std::unexpected(Failure::notTrusted));
    }
    std::expected<bool, Failure> isAttributeSettable(const AccessibilityElement&, const QString&) override { return std::unexpected(Failure::notTrusted); }
    std::expected<void, Failure> setStringAttribute(const AccessibilityElement&, const QString&, const QString&) override { return std::unexpected(Failure::notTrusted); }
};

class UnavailableEventMonitors final : public EventMonitors {
    Q_OBJECT
public:
    using EventMonitors::EventMonitors;
    bool isAvailable() const override { return false; }
    std::optional<Token> addGlobalMonitor(EventMask, Handler) override { return std::nullopt; }
    std::optional<Token> addLocalMonitor(EventMask, Handler) override { return std::nullopt; }
    void removeMonitor(Token) override {}
    QPointF pointerLocation() const override { return {}; }
    ModifierFlags modifierFlags() const override { return {}; }
};

class UnavailableKeystrokes final : public Keystrokes {
    Q_OBJECT
public:
    using Keystrokes::Keystrokes;
    bool isAvailable() const override { return false; }
    bool post(Key, ModifierFlags) override { return false; }
};

class UnavailableWindowList final : public WindowList {
    Q_OBJECT
public:
    using WindowList::WindowList;
    bool isAvailable() const override { return false; }
    QList<WindowInfo> onScreenWindows(bool) const override { return {}; }
    std::optional<WindowInfo> window(quint32) const override { return std::nullopt; }
};

} // namespace Platform
