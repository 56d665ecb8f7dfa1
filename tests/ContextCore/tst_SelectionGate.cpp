#include "ContextCore/SelectionGate.h"

#include <QtTest>

#include <limits>

using namespace SelectionGate;

Q_DECLARE_METATYPE(SelectionGate::SelectionEvidence)
Q_DECLARE_METATYPE(SelectionGate::Surface)

class TestSelectionGate : public QObject {
    Q_OBJECT

private slots:
    void attemptCapture_data()
    {
        QTest::addColumn<bool>("hasRole");
        QTest::addColumn<QString>("role");
        QTest::addColumn<bool>("exposesSelectedText");
        QTest::addColumn<bool>("expected");

        QTest::newRow("no role, nothing readable") << false << QString() << false << true;
        QTest::newRow("no role, text readable") << false << QString() << true << true;
        QTest::newRow("empty role is a role outside the table") << true << QString() << false << true;
        const QStringList chrome{
            "AXWindow",   "AXButton",      "AXScrollBar",   "AXSlider",      "AXToolbar",
            "AXMenuBar",  "AXMenuBarItem", "AXCheckBox",    "AXRadioButton", "AXPopUpButton",
            "AXTabGroup", "AXSplitter",    "AXDisclosureTriangle", "AXIncrementor",
        };
        for (const QString& role : chrome) {
            QTest::addRow("%s without text", qPrintable(role)) << true << role << false << false;
            QTest::addRow("%s with text", qPrintable(role)) << true << role << true << true;
        }
        QTest::newRow("text area without text") << true << "AXTextArea" << false << true;
        QTest::newRow("web area without text") << true << "AXWebArea" << false << true;
        QTest::newRow("roles compare case-sensitively") << true << "axbutton" << false << true;
        QTest::newRow("no subrole matching") << true << "AXButtonX" << false << true;
        QTest::newRow("menu is not chrome") << true << "AXMenu" << false << true;
    }
    void attemptCapture()
    {
        QFETCH(bool, hasRole);
        QFETCH(QString, role);
        QFETCH(bool, exposesSelectedText);
        QFETCH(bool, expected);
        const std::optional<QString> given = hasRole ? std::optional<QString>(role) : std::nullopt;
        QCOMPARE(shouldAttemptCapture(given, exposesSelectedText), expected);
    }

    void levels_data()
    {
        QTest::addColumn<qint64>("level");
        QTest::addColumn<bool>("holdsText");
        QTest::newRow("normal window") << qint64(0) << true;
        QTest::newRow("floating") << qint64(3) << true;
        QTest::newRow("just below") << qint64(-1) << false;
        QTest::newRow("desktop icons") << qint64(-2147483603) << false;
        QTest::newRow("lowest") << std::numeric_limits<qint64>::min() << false;
        QTest::newRow("highest") << std::numeric_limits<qint64>::max() << true;
    }
    void levels()
    {
        QFETCH(qint64, level);
        QFETCH(bool, holdsText);
        QCOMPARE(levelCanHoldText(level), holdsText);
    }

    void desktop_data()
    {
        QTest::addColumn<QList<Surface>>("surfaces");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<bool>("expected");

        const Surface window{QRectF(100, 100, 400, 300), 0};
        const Surface desktop{QRectF(0, 0, 1440, 900), -2147483603};
        QTest::newRow("no surfaces") << QList<Surface>{} << QPointF(10, 10) << false;
        QTest::newRow("window in front of desktop") << QList<Surface>{window, desktop} << QPointF(200, 200) << false;
        QTest::newRow("only the desktop there") << QList<Surface>{window, desktop} << QPointF(50, 50) << true;
        QTest::newRow("a desktop listed first is the front-most")
            << QList<Surface>{desktop, window} << QPointF(200, 200) << true;
        QTest::newRow("outside everything") << QList<Surface>{window, desktop} << QPointF(2000, 50) << false;
        QTest::newRow("left edge inside") << QList<Surface>{window, desktop} << QPointF(100, 200) << false;
        QTest::newRow("top edge inside") << QList<Surface>{window, desktop} << QPointF(200, 100) << false;
        QTest::newRow("right edge outside") << QList<Surface>{window, desktop} << QPointF(500, 200) << true;
        QTest::newRow("bottom edge outside") << QList<Surface>{window, desktop} << QPointF(200, 400) << true;
        QTest::newRow("level -1 alone") << QList<Surface>{{QRectF(0, 0, 10, 10), -1}} << QPointF(5, 5) << true;
        QTest::newRow("zero-size surface holds nothing")
            << QList<Surface>{{QRectF(5, 5, 0, 0), 0}, desktop} << QPointF(5, 5) << true;
    }
    void desktop()
    {
        QFETCH(QList<Surface>, surfaces);
        QFETCH(QPointF, point);
        QFETCH(bool, expected);
        QCOMPARE(isDesktop(point, surfaces), expected);
    }

    void evidence_data()
    {
        QTest::addColumn<SelectionEvidence>("evidence");
        QTest::addColumn<bool>("synthesiseCopy");
        QTest::addColumn<bool>("selectedNothing");
        QTest::newRow("unknown") << SelectionEvidence::unknown << true << false;
        QTest::newRow("empty") << SelectionEvidence::empty << false << true;
        QTest::newRow("non-empty") << SelectionEvidence::nonEmpty << true << false;
    }
    void evidence()
    {
        QFETCH(SelectionEvidence, evidence);
        QFETCH(bool, synthesiseCopy);
        QFETCH(bool, selectedNothing);
        QCOMPARE(shouldSynthesiseCopy(evidence), synthesiseCopy);
        QCOMPARE(pressSelectedNothing(evidence), selectedNothing);
    }

    void fileListing_data()
    {
        QTest::addColumn<bool>("exposesSelectedText");
        QTest::addColumn<QString>("bundleID");
        QTest::addColumn<bool>("expected");
        QTest::newRow("file manager listing") << false << "com.apple.finder" << true;
        QTest::newRow("name being edited in the file manager") << true << "com.apple.finder" << false;
        QTest::newRow("other application") << false << "com.apple.TextEdit" << false;
        QTest::newRow("case-sensitive") << false << "com.apple.Finder" << false;
        QTest::newRow("no front application") << false << "" << false;
    }
    void fileListing()
    {
        QFETCH(bool, exposesSelectedText);
        QFETCH(QString, bundleID);
        QFETCH(bool, expected);
        QCOMPARE(isFileListingPress(exposesSelectedText, bundleID), expected);
    }

    void graphicsSurface_data()
    {
        QTest::addColumn<bool>("advertises");
        QTest::addColumn<bool>("found");
        QTest::addColumn<bool>("expected");
        QTest::newRow("canvas") << false << true << true;
        QTest::newRow("text element") << true << true << false;
        QTest::newRow("nothing found") << false << false << false;
        QTest::newRow("nothing found, flag set") << true << false << false;
    }
    void graphicsSurface()
    {
        QFETCH(bool, advertises);
        QFETCH(bool, found);
        QFETCH(bool, expected);
        QCOMPARE(isGraphicsSurfacePress(advertises, found), expected);
    }

    void textAttributes_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("expected");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("only generic attributes") << QStringList{"AXRole", "AXPosition", "AXSize"} << false;
        for (const char* name : {"AXSelectedText", "AXSelectedTextRange", "AXNumberOfCharacters",
                                 "AXVisibleCharacterRange", "AXInsertionPointLineNumber"})
            QTest::addRow("%s among others", name) << QStringList{"AXRole", name} << true;
        QTest::newRow("case-sensitive") << QStringList{"axselectedtext"} << false;
        QTest::newRow("value is not text-bearing") << QStringList{"AXValue"} << false;
    }
    void textAttributes()
    {
        QFETCH(QStringList, names);
        QFETCH(bool, expected);
        QCOMPARE(hasTextBearingAttribute(names), expected);
    }

    void copyWhileHolding_data()
    {
        QTest::addColumn<quint64>("raw");
        QTest::addColumn<bool>("expected");
        QTest::newRow("nothing held") << quint64(0) << true;
        QTest::newRow("caps lock only") << quint64(0x10000) << true;
        QTest::newRow("function key only") << quint64(0x800000) << true;
        QTest::newRow("every bit outside the four") << ~quint64(0x1E0000) << true;
        QTest::newRow("shift") << Modifiers::shiftBit << false;
        QTest::newRow("control") << Modifiers::controlBit << false;
        QTest::newRow("option") << Modifiers::optionBit << false;
        QTest::newRow("command") << Modifiers::commandBit << false;
        QTest::newRow("shift with caps lock") << (Modifiers::shiftBit | 0x10000) << false;
        QTest::newRow("all bits") << ~quint64(0) << false;
    }
    void copyWhileHolding()
    {
        QFETCH(quint64, raw);
        QFETCH(bool, expected);
        QCOMPARE(canSynthesiseCopy(Modifiers{raw}), expected);
    }

    void remoteDesktop_data()
    {
        QTest::addColumn<QString>("bundleID");
        QTest::addColumn<bool>("expected");
        for (const char* id : {"com.microsoft.rdc.macos", "com.microsoft.rdc.osx.beta",
                               "com.microsoft.rdc.windowsapp", "com.teamviewer.TeamViewer",
                               "com.anydesk.anydesk", "com.realvnc.vncviewer",
                               "com.citrix.receiver.icaviewer.mac", "com.parallels.desktop.console",
                               "com.vmware.fusion", "com.apple.ScreenSharing"})
            QTest::addRow("%s", id) << QString::fromLatin1(id) << true;
        QTest::newRow("prefix only") << "com.microsoft.rdc" << false;
        QTest::newRow("case-sensitive") << "com.apple.screensharing" << false;
        QTest::newRow("ordinary application") << "com.apple.Safari" << false;
        QTest::newRow("empty") << "" << false;
    }
    void remoteDesktop()
    {
        QFETCH(QString, bundleID);
        QFETCH(bool, expected);
        QCOMPARE(isRemoteDesktop(bundleID), expected);
    }

    void surfaceEquality()
    {
        const Surface a{QRectF(1, 2, 3, 4), 0};
        QVERIFY(a == (Surface{QRectF(1, 2, 3, 4), 0}));
        QVERIFY(a != (Surface{QRectF(1, 2, 3, 4), -1}));
        QVERIFY(a != (Surface{QRectF(1, 2, 3, 5), 0}));
        // QRectF's own comparison would call these equal.
        QVERIFY(a != (Surface{QRectF(1 + 1e-13, 2, 3, 4), 0}));
    }
};

QTEST_GUILESS_MAIN(TestSelectionGate)
#include "tst_SelectionGate.moc"
