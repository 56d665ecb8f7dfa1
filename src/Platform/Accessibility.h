#pragma once

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <expected>
#include <functional>

namespace Platform {

// One element of another application's user interface, as the accessibility system names it.
// Opaque to callers: `service` is the connection or application that owns the element and `path`
// names the element within it. Two handles naming the same element compare equal; the elements
// of one application share their `service`, those of two applications never do. A default handle
// names nothing.
struct AccessibilityElement {
    QString service;
    QString path;

    bool isNull() const { return service.isEmpty() && path.isEmpty(); }
    bool operator==(const AccessibilityElement&) const = default;
};

// A range of characters in an element's text, in UTF-16 code units (QString indices), whatever
// unit the application itself counts in.
struct TextRange {
    qint64 location = 0;
    qint64 length = 0;
    bool operator==(const TextRange&) const = default;
};

// Reads and writes other applications' interfaces.
//
// Names. Attributes are known by the names below whatever the system calls them; an
// implementation maps its own properties onto them. Roles are reported as these names too:
// "AXTextField", "AXTextArea", "AXStaticText", "AXWebArea", "AXComboBox", "AXButton", "AXWindow",
// "AXScrollBar", "AXSlider", "AXToolbar", "AXMenuBar", "AXMenuBarItem", "AXMenu", "AXMenuItem",
// "AXCheckBox", "AXRadioButton", "AXPopUpButton", "AXTabGroup", "AXSplitter", "AXImage",
// "AXList", "AXTable", "AXGroup", "AXUnknown" for anything else. A password entry reports
// `secureTextFieldSubrole` as its subrole (or its role).
//
// Coordinates. Points and rectangles are global, in device-independent pixels, with the origin
// at the top left of the primary screen and y growing downward (the window list's coordinates).
//
// Time. Every call asks another process and may block its caller, but never for longer than
// `callTimeout` milliseconds; an application that does not answer in time gives
// `Failure::timedOut`. Calls are made on the main thread. The one exception is the read of a
// whole selected text, which may be megabytes long: it never blocks, and waits for as long as its
// length needs (`readSelectedText`).
//
// Failure. Every read and write answers a value or a `Failure`; none throws, none blocks
// indefinitely. A value of the wrong kind for the read (a number where a text was asked for)
// is `Failure::wrongType`.
class Accessibility : public QObject {
    Q_OBJECT
public:
    static constexpr auto focusedElementAttribute = "AXFocusedUIElement";
    static constexpr auto selectedTextAttribute = "AXSelectedText";
    static constexpr auto selectedTextRangeAttribute = "AXSelectedTextRange";
    static constexpr auto boundsForRangeAttribute = "AXBoundsForRange"; // parameterised by a range
    static constexpr auto roleAttribute = "AXRole";
    static constexpr auto subroleAttribute = "AXSubrole";
    static constexpr auto valueAttribute = "AXValue";
    static constexpr auto numberOfCharactersAttribute = "AXNumberOfCharacters";
    static constexpr auto parentAttribute = "AXParent";
    static constexpr auto frameAttribute = "AXFrame"; // the element's rectangle on screen
    static constexpr auto secureTextFieldSubrole = "AXSecureTextField";

    static constexpr int callTimeout = 250;
    // What the read of a whole selected text may take beyond callTimeout, per million characters.
    static constexpr int wholeTextMsPerMillion = 500;

    enum class Failure {
        notTrusted,        // this process may not read other applications
        noValue,           // the element has no such attribute, or it holds nothing now
        wrongType,         // the attribute holds a value of another kind
        invalidElement,    // the element is gone
        notSettable,       // a write to an attribute that cannot be written
        timedOut,          // the application did not answer within callTimeout
        cannotComplete,    // any other failure of the system or the application
    };

    using QObject::QObject;

    // Whether this process is trusted to read and write other applications' interfaces.
    virtual bool isTrusted() const = 0;
    // Asks the system to offer the user to grant trust when it is not granted (never blocks);
    // answers the trust at the time of asking.
    virtual bool promptForTrust() = 0;

    // The element that has the keyboard focus, in whichever application is frontmost.
    virtual std::expected<AccessibilityElement, Failure> focusedElement() = 0;
    // The deepest element whose hit area contains the point (top-left coordinates).
    virtual std::expected<AccessibilityElement, Failure> elementAt(const QPointF& point) = 0;

    // Attribute reads.
    virtual std::expected<QString, Failure> stringAttribute(const AccessibilityElement& element, const QString& name) = 0;
    virtual std::expected<TextRange, Failure> rangeAttribute(const AccessibilityElement& element, const QString& name) = 0;
    // A rectangle in top-left coordinates.
    virtual std::expected<QRectF, Failure> rectAttribute(const AccessibilityElement& element, const QString& name) = 0;
    virtual std::expected<AccessibilityElement, Failure> elementAttribute(const AccessibilityElement& element, const QString& name) = 0;
    // The names of the attributes the element offers.
    virtual std::expected<QStringList, Failure> attributeNames(const AccessibilityElement& element) = 0;
    // The screen rectangle (top-left coordinates) of the characters of `range` ("AXBoundsForRange").
    // Answers what the application reports, unchecked: it may be empty, infinite or NaN.
    virtual std::expected<QRectF, Failure> boundsForRange(const AccessibilityElement& element, const TextRange& range) = 0;

    // The selected text of an element in part, as one short read gives it however long the
    // selection is: its first UTF-16 units, at most `limit` of them (never half a surrogate pair),
    // and whether that is all of it. Empty and complete when nothing is selected.
    struct TextPart {
        QString text;
        bool complete = true;
        bool operator==(const TextPart&) const = default;
    };
    virtual std::expected<TextPart, Failure> selectedTextPart(const AccessibilityElement& element, qint64 limit) = 0;
    // The whole selected text of an element, read without blocking: `done` is called once on the
    // main thread, never before this returns, and not at all when `receiver` is gone by then. The
    // application has callTimeout plus wholeTextMsPerMillion per million characters to answer.
    using TextDone = std::function<void(std::expected<QString, Failure>)>;
    virtual void readSelectedText(const AccessibilityElement& element, QObject* receiver, TextDone done) = 0;

    // Writes.
    virtual std::expected<bool, Failure> isAttributeSettable(const AccessibilityElement& element, const QString& name) = 0;
    // Sets a text attribute; for "AXSelectedText" the text replaces the selection.
    virtual std::expected<void, Failure> setStringAttribute(const AccessibilityElement& element, const QString& name,
                                                            const QString& value) = 0;

protected:
    // The first `limit` units of a text read from the beginning of a selection, never half a
    // surrogate pair; complete when the text is within the limit and `reachedEnd` (the read went
    // to the selection's end).
    static TextPart partOf(QString text, qint64 limit, bool reachedEnd);
    // Hands an answer of readSelectedText to `done` on the next turn of the main loop, unless
    // `receiver` is gone by then.
    static void answerLater(QObject* receiver, TextDone done, std::expected<QString, Failure> answer);
};

} // namespace Platform

Q_DECLARE_METATYPE(Platform::AccessibilityElement)
