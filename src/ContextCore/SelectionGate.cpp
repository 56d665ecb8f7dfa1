#include "ContextCore/SelectionGate.h"

#include "ContextCore/RectGeometry.h"

#include <QStringList>

namespace SelectionGate {

namespace {
constexpr quint64 heldMask = Modifiers::shiftBit | Modifiers::controlBit | Modifiers::optionBit
                           | Modifiers::commandBit;
}

const QSet<QString>& chromeRoles()
{
    static const QSet<QString> table{
        QStringLiteral("AXWindow"),      QStringLiteral("AXButton"),
        QStringLiteral("AXScrollBar"),   QStringLiteral("AXSlider"),
        QStringLiteral("AXToolbar"),     QStringLiteral("AXMenuBar"),
        QStringLiteral("AXMenuBarItem"), QStringLiteral("AXCheckBox"),
        QStringLiteral("AXRadioButton"), QStringLiteral("AXPopUpButton"),
        QStringLiteral("AXTabGroup"),    QStringLiteral("AXSplitter"),
        QStringLiteral("AXDisclosureTriangle"), QStringLiteral("AXIncrementor"),
    };
    return table;
}

const QSet<QString>& fileManagerBundleIDs()
{
    static const QSet<QString> table{QStringLiteral("com.apple.finder")};
    return table;
}

const QSet<QString>& textBearingAttributes()
{
    static const QSet<QString> table{
        QStringLiteral("AXSelectedText"),         QStringLiteral("AXSelectedTextRange"),
        QStringLiteral("AXNumberOfCharacters"),   QStringLiteral("AXVisibleCharacterRange"),
        QStringLiteral("AXInsertionPointLineNumber"),
    };
    return table;
}

const QSet<QString>& remoteDesktopBundleIDs()
{
    static const QSet<QString> table{
        QStringLiteral("com.microsoft.rdc.macos"),
        QStringLiteral("com.microsoft.rdc.osx.beta"),
        QStringLiteral("com.microsoft.rdc.windowsapp"),
        QStringLiteral("com.teamviewer.TeamViewer"),
        QStringLiteral("com.anydesk.anydesk"),
        QStringLiteral("com.realvnc.vncviewer"),
        QStringLiteral("com.citrix.receiver.icaviewer.mac"),
        QStringLiteral("com.parallels.desktop.console"),
        QStringLiteral("com.vmware.fusion"),
        QStringLiteral("com.apple.ScreenSharing"),
    };
    return table;
}

bool shouldAttemptCapture(const std::optional<QString>& role, bool exposesSelectedText)
{
    if (!role)
        return true;
    if (chromeRoles().contains(*role))
        return exposesSelectedText;
    return true;
}

bool levelCanHoldText(qint64 level)
{
    return level >= 0;
}

bool isDesktop(const QPointF& point, const QList<Surface>& surfaces)
{
    for (const Surface& surface : surfaces) {
        if (RectGeometry::contains(surface.frame, point))
            return !levelCanHoldText(surface.level);
    }
    return false;
}

bool shouldSynthesiseCopy(SelectionEvidence evidence)
{
    return evidence != SelectionEvidence::empty;
}

bool isFileListingPress(bool exposesSelectedText, const QString& bundleID)
{
    return !exposesSelectedText && fileManagerBundleIDs().contains(bundleID);
}

bool pressSelectedNothing(SelectionEvidence evidence)
{
    return evidence == SelectionEvidence::empty;
}

bool isGraphicsSurfacePress(bool advertisesTextAttributes, bool elementFound)
{
    return elementFound && !advertisesTextAttributes;
}

bool canSynthesiseCopy(Modifiers held)
{
    return (held.rawValue & heldMask) == 0;
}

bool isRemoteDesktop(const QString& bundleID)
{
    return remoteDesktopBundleIDs().contains(bundleID);
}

bool hasTextBearingAttribute(const QStringList& attributeNames)
{
    const QSet<QString>& table = textBearingAttributes();
    for (const QString& name : attributeNames) {
        if (table.contains(name))
            return true;
    }
    return false;
}

} // namespace SelectionGate
