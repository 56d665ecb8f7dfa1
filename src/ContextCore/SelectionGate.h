#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// Fixed rules deciding whether a left mouse-up in another application is worth an attempt to
// capture a text selection, and whether a synthetic copy may be sent to read it. Pure: the
// selection monitor gathers the facts and asks; nothing here reads the system.
namespace SelectionGate {

// One on-screen window surface. `frame` is in window-list coordinates (origin at the top left of
// the primary screen, y down); a negative `level` is the desktop's.
struct Surface {
    QRectF frame;
    qint64 level = 0;

    // Exact comparison: QRectF's own operator== is fuzzy.
    friend bool operator==(const Surface& a, const Surface& b)
    {
        return a.frame.x() == b.frame.x() && a.frame.y() == b.frame.y()
            && a.frame.width() == b.frame.width() && a.frame.height() == b.frame.height()
            && a.level == b.level;
    }
};

// What the pressed element says about its selection.
enum class SelectionEvidence {
    unknown,  // nothing could be read
    empty,    // empty selected text, or a selected range of length 0
    nonEmpty, // at least one selected character
};
inline constexpr std::array allSelectionEvidence{SelectionEvidence::unknown, SelectionEvidence::empty,
                                                 SelectionEvidence::nonEmpty};

// The modifier keys held, as the platform's event modifier-flag bits. Any raw value read from the
// platform is valid; bits other than the four below are ignored by every rule.
struct Modifiers {
    quint64 rawValue = 0;

    static constexpr quint64 shiftBit = 0x20000;
    static constexpr quint64 controlBit = 0x40000;
    static constexpr quint64 optionBit = 0x80000;
    static constexpr quint64 commandBit = 0x100000;

    static constexpr Modifiers shift() { return {shiftBit}; }
    static constexpr Modifiers control() { return {controlBit}; }
    static constexpr Modifiers option() { return {optionBit}; }
    static constexpr Modifiers command() { return {commandBit}; }

    constexpr bool contains(Modifiers other) const { return (rawValue & other.rawValue) == other.rawValue; }
    constexpr Modifiers operator|(Modifiers other) const { return {rawValue | other.rawValue}; }
    bool operator==(const Modifiers&) const = default;
};

// Accessibility roles of window chrome and controls.
const QSet<QString>& chromeRoles();
// Applications whose file listings are pressed rather than selected.
const QSet<QString>& fileManagerBundleIDs();
// Attribute names whose presence marks an element that can hold text.
const QSet<QString>& textBearingAttributes();
// Remote-desktop, screen-sharing and virtual-machine console applications.
const QSet<QString>& remoteDesktopBundleIDs();

// A press on chrome or a control is worth a capture only when its selected text can be read; an
// element without a role, or of any other role, always is.
bool shouldAttemptCapture(const std::optional<QString>& role, bool exposesSelectedText);
bool levelCanHoldText(qint64 level);
// The front-most surface containing `point` (window-list coordinates) decides: true when it is a
// desktop surface. False when none contains the point.
bool isDesktop(const QPointF& point, const QList<Surface>& surfaces);
bool shouldSynthesiseCopy(SelectionEvidence evidence);
bool isFileListingPress(bool exposesSelectedText, const QString& bundleID);
bool pressSelectedNothing(SelectionEvidence evidence);
// A canvas, image or other surface without text. With no element found nothing is concluded.
bool isGraphicsSurfacePress(bool advertisesTextAttributes, bool elementFound);
// A synthetic copy while the user holds shift, control, option or command would combine with
// those keys into another shortcut.
bool canSynthesiseCopy(Modifiers held);
bool isRemoteDesktop(const QString& bundleID);
// Whether an element with these attribute names advertises text attributes.
bool hasTextBearingAttribute(const QStringList& attributeNames);

} // namespace SelectionGate
