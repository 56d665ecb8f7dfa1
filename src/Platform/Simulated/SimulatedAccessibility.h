#pragma once

#include "Platform/Accessibility.h"

#include <QHash>
#include <QSet>
#include <QVariant>

#include <chrono>
#include <optional>

Q_DECLARE_METATYPE(Platform::TextRange)

namespace Platform {

// A tree of elements that a test builds. Each element has a map of attributes (QString,
// TextRange, QRectF, AccessibilityElement or QStringList values), the names that may be written,
// a hit rectangle for elementAt and an answer for the bounds of a range. Any read or write can be
// made to fail, per element and attribute. "AXParent" answers the element it was added below,
// unless set. Writing "AXSelectedText" edits "AXValue" as a text
// field would: the selection is replaced and the caret put after the new text.
class SimulatedAccessibility final : public Accessibility {
    Q_OBJECT
public:
    using Attributes = QHash<QString, QVariant>;
    static constexpr auto anyAttribute = "*";

    using Accessibility::Accessibility;

    bool isTrusted() const override { return m_trusted; }
    bool promptForTrust() override;
    std::expected<AccessibilityElement, Failure> focusedElement() override;
    std::expected<AccessibilityElement, Failure> elementAt(const QPointF& point) override;
    std::expected<QString, Failure> stringAttribute(const AccessibilityElement& element, const QString& name) override;
    std::expected<TextRange, Failure> rangeAttribute(const AccessibilityElement& element, const QString& name) override;
    std::expected<QRectF, Failure> rectAttribute(const AccessibilityElement& element, const QString& name) override;
    std::expected<AccessibilityElement, Failure> elementAttribute(const AccessibilityElement& element, const QString& name) override;
    std::expected<QStringList, Failure> attributeNames(const AccessibilityElement& element) override;
    std::expected<QRectF, Failure> boundsForRange(const AccessibilityElement& element, const TextRange& range) override;
    // Counted among the reads of "AXSelectedText".
    std::expected<TextPart, Failure> selectedTextPart(const AccessibilityElement& element, qint64 limit) override;
    // Counted in wholeTextReads; answers after setWholeTextTime's wait, failing as a read of
    // "AXSelectedText" is made to.
    void readSelectedText(const AccessibilityElement& element, QObject* receiver, TextDone done) override;
    std::expected<bool, Failure> isAttributeSettable(const AccessibilityElement& element, const QString& name) override;
    std::expected<void, Failure> setStringAttribute(const AccessibilityElement& element, const QString& name,
                                                    const QString& value) override;

    // Script
    void setTrusted(bool trusted) { m_trusted = trusted; }
    // A new element below `parent` (or a new root). `hitArea` (top-left coordinates, half-open)
    // is where elementAt finds it; later siblings lie in front of earlier ones. A root belongs to
    // `application` (one default application when empty), an element below a parent to the
    // parent's.
    AccessibilityElement addElement(Attributes attributes, QRectF hitArea = {}, AccessibilityElement parent = {},
                                    const QString& application = {});
    void removeElement(const AccessibilityElement& element);
    void setAttribute(const AccessibilityElement& element, const QString& name, QVariant value);
    void removeAttribute(const AccessibilityElement& element, const QString& name);
    std::optional<QVariant> attribute(const AccessibilityElement& element, const QString& name) const;
    void setSettable(const AccessibilityElement& element, const QString& name, bool settable);
    // What attributeNames answers instead of the attribute map's own keys.
    void setAttributeNames(const AccessibilityElement& element, QStringList names);
    // What boundsForRange answers for any range of the element.
    void setRangeBounds(const AccessibilityElement& element, QRectF bounds);
    // Gives the element an editable text: "AXValue", "AXSelectedTextRange", "AXSelectedText" and
    // "AXNumberOfCharacters", consistent with each other.
    void setText(const AccessibilityElement& element, const QString& value, TextRange selection);
    void setFocused(std::optional<AccessibilityElement> element) { m_focused = std::move(element); }
    // Failures: a read or write of `name` (or of any name: anyAttribute) of the element fails
    // with `failure`; the focused-element and hit-test queries fail with theirs.
    void failRead(const AccessibilityElement& element, const QString& name, Failure failure);
    void failWrite(const AccessibilityElement& element, const QString& name, Failure failure);
    void failFocusedElement(std::optional<Failure> failure) { m_focusFailure = failure; }
    void failElementAt(std::optional<Failure> failure) { m_hitFailure = failure; }
    void clearFailures();
    // An application slow to answer: each hit test takes this long.
    void setHitTestTime(std::chrono::milliseconds time) { m_hitTestTime = time; }
    // An application slow to give a whole text: readSelectedText answers this long after.
    void setWholeTextTime(std::chrono::milliseconds time) { m_wholeTextTime = time; }

    // Record
    struct Write {
        AccessibilityElement element;
        QString name;
        QString value;
        bool operator==(const Write&) const = default;
    };
    QList<Write> writes;
    int calls = 0; // every query and write, answered or failed
    QHash<QString, int> reads; // the reads of each attribute, answered or failed
    int wholeTextReads = 0;    // the calls of readSelectedText
    int wholeTextAnswers = 0;  // and their answers given, whether or not anyone still waited

private:
    struct Node {
        AccessibilityElement self;
        Attributes attributes;
        QRectF hitArea;
        AccessibilityElement parent;
        QList<AccessibilityElement> children;
        QSet<QString> settable;
        std::optional<QStringList> names;
        std::optional<QRectF> rangeBounds;
        QHash<QString, Failure> readFailures;
        QHash<QString, Failure> writeFailures;
    };

    std::optional<Failure> readFailure(const AccessibilityElement& element, const QString& name);
    std::expected<QVariant, Failure> read(const AccessibilityElement& element, const QString& name);
    std::optional<AccessibilityElement> hit(const QList<AccessibilityElement>& candidates, const QPointF& point) const;

    QHash<QString, Node> m_nodes; // by path
    QList<AccessibilityElement> m_roots;
    std::optional<AccessibilityElement> m_focused;
    std::optional<Failure> m_focusFailure;
    std::optional<Failure> m_hitFailure;
    std::chrono::milliseconds m_hitTestTime{0};
    std::chrono::milliseconds m_wholeTextTime{0};
    bool m_trusted = true;
    int m_next = 1;
};

} // namespace Platform
