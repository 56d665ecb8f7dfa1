// The floating panels (size, shape, placement, never taking focus), the hint's timing, and what
// the toolbar and result views contain and report.
#include "Platform/Simulated/SimulatedScreens.h"
#include "Selection/SelectionToolbarView.h"
#include "Selection/ToolbarPanel.h"

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>

using namespace Platform;
using Shape = ToolbarPanel::Shape;

namespace {
// A view of a given ideal size.
class Sized : public QWidget {
public:
    explicit Sized(QSize size) : m_size(size) {}
    QSize sizeHint() const override { return m_size; }

private:
    QSize m_size;
};

ActionDefinition action(const QString& id, const QString& symbol = QStringLiteral("doc.on.doc"))
{
    ActionDefinition a;
    a.id = id;
    a.titleKey = id;
    a.symbolName = symbol;
    return a;
}

void enter(QWidget* w)
{
    QEnterEvent e(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(w, &e);
}

void leave(QWidget* w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

std::shared_ptr<SimulatedScreens> screens()
{
    auto s = std::make_shared<SimulatedScreens>(); // 1440 × 900, visible 0,0 – 1440 × 875
    s->setPointerLocation({700, 400});
    return s;
}
} // namespace

class ToolbarPanelsTest : public QObject {
    Q_OBJECT
private slots:
    void panelsNeverTakeFocus();
    void sizeFollowsTheViewWithinTheProposal_data();
    void sizeFollowsTheViewWithinTheProposal();
    void anEmptyViewIsNotShown();
    void placement_data();
    void placement();
    void hintWaitsThenFollowsThePointer();
    void eachHintHasItsOwnSize_data();
    void eachHintHasItsOwnSize();
    void toolbarRow_data();
    void toolbarRow();
    void hoverReportsEnterAndLeave();
    void menuItemRunsItsOwnAction();
    void theMoreHintGoesWhenItsMenuOpens();
    void theOverflowActionsAreInTheAccessibilityTree();
    void resultGrowsWideRatherThanWrapping();
};

void ToolbarPanelsTest::panelsNeverTakeFocus()
{
    ToolbarPanel panel(screens());
    for (QWidget* w : {static_cast<QWidget*>(&panel), static_cast<QWidget*>(&panel.hint())}) {
        QVERIFY(w->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(w->windowType(), Qt::Tool);
        QVERIFY(w->testAttribute(Qt::WA_ShowWithoutActivating));
    }
    QVERIFY(!panel.windowFlags().testFlag(Qt::WindowTransparentForInput));
    QVERIFY(panel.hint().windowFlags().testFlag(Qt::WindowTransparentForInput));
    QVERIFY(!panel.isVisible());
}

void ToolbarPanelsTest::sizeFollowsTheViewWithinTheProposal_data()
{
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<QSize>("ideal");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("radius");
    QTest::newRow("toolbar") << Shape::capsule << QSize(312, 44) << QSize(312, 44) << 22.0;
    QTest::newRow("short toolbar") << Shape::capsule << QSize(200, 36) << QSize(200, 36) << 18.0;
    // The proposal is no limit: a wide result gets its whole width.
    QTest::newRow("wider than the proposal") << Shape::capsule << QSize(910, 60) << QSize(910, 60) << 30.0;
    QTest::newRow("card") << Shape::card << QSize(420, 180) << QSize(420, 180) << 14.0;
    QTest::newRow("taller than the proposal") << Shape::card << QSize(420, 600) << QSize(420, 600) << 14.0;
    // Only the screen is: 8 inside each edge of the visible frame, 1440 × 875.
    QTest::newRow("wider than the screen") << Shape::capsule << QSize(2000, 44) << QSize(1424, 44) << 22.0;
    QTest::newRow("taller than the screen") << Shape::card << QSize(420, 900) << QSize(420, 859) << 14.0;
}

void ToolbarPanelsTest::sizeFollowsTheViewWithinTheProposal()
{
    QFETCH(Shape, shape);
    QFETCH(QSize, ideal);
    QFETCH(QSize, size);
    QFETCH(double, radius);
    ToolbarPanel panel(screens());
    panel.show(new Sized(ideal), QRectF(500, 400, 100, 20), std::nullopt, shape);
    QVERIFY(panel.isVisible());
    QCOMPARE(panel.size(), size);
    QCOMPARE(panel.screenFrame().size(), QSizeF(size));
    QCOMPARE(panel.cornerRadius(), radius);
}

void ToolbarPanelsTest::anEmptyViewIsNotShown()
{
    ToolbarPanel panel(screens());
    auto* first = new Sized(QSize(100, 30));
    panel.show(first, QRectF(500, 400, 100, 20), std::nullopt, Shape::capsule);
    const QRectF frame = panel.screenFrame();
    panel.show(new Sized(QSize(0, 30)), QRectF(10, 10, 10, 10), std::nullopt, Shape::capsule);
    QCOMPARE(panel.content(), first);
    QCOMPARE(panel.screenFrame(), frame);
    QVERIFY(panel.isVisible());
    panel.dismiss();
    QVERIFY(!panel.isVisible());
    QVERIFY(!panel.content());
}

void ToolbarPanelsTest::placement_data()
{
    QTest::addColumn<QRectF>("near");
    QTest::addColumn<std::optional<QPointF>>("fallback");
    QTest::addColumn<QPointF>("origin"); // bottom-left corner, screen coordinates
    // The panel is 100 × 30; the visible frame 0,0 – 1440 × 875.
    QTest::newRow("below the selection") << QRectF(500, 400, 100, 20) << std::optional<QPointF>() << QPointF(500, 362);
    QTest::newRow("above near the bottom") << QRectF(500, 20, 100, 20) << std::optional<QPointF>() << QPointF(500, 48);
    QTest::newRow("no anchor, fallback point") << QRectF() << std::optional<QPointF>(QPointF(300, 500)) << QPointF(250, 462);
    QTest::newRow("kept inside on the right") << QRectF(1430, 400, 5, 20) << std::optional<QPointF>() << QPointF(1332, 362);
}

void ToolbarPanelsTest::placement()
{
    QFETCH(QRectF, near);
    QFETCH(std::optional<QPointF>, fallback);
    QFETCH(QPointF, origin);
    ToolbarPanel panel(screens());
    panel.show(new Sized(QSize(100, 30)), near, fallback, Shape::capsule);
    QCOMPARE(panel.screenFrame().topLeft(), origin);
    // The window system gets the same place from the top of the 900-high screen.
    QCOMPARE(panel.geometry().topLeft(), QPoint(int(origin.x()), int(900 - origin.y() - 30)));
}

void ToolbarPanelsTest::hintWaitsThenFollowsThePointer()
{
    ToolbarPanel panel(screens());
    panel.hint().delay = std::chrono::milliseconds(50);
    panel.show(new Sized(QSize(200, 36)), QRectF(500, 400, 100, 20), std::nullopt, Shape::capsule);
    const QRectF bar = panel.screenFrame();
    panel.hint().show("Copy", QRectF(6, 5, 30, 26), bar);
    QVERIFY(panel.hint().isPending());
    QVERIFY(!panel.hint().isVisible());
    QTRY_VERIFY(panel.hint().isVisible());
    QCOMPARE(panel.hint().findChild<QLabel*>("hint")->text(), QString("Copy"));
    // Below the bar, centred on the button's middle.
    QVERIFY(panel.hint().screenFrame().top() + panel.hint().screenFrame().height() <= bar.y() - 4 + 0.5);
    QCOMPARE(panel.hint().screenFrame().center().x(), bar.x() + 21);
    // Moving to the next button while it shows: at once, with the new text.
    panel.hint().show("Search the Web", QRectF(38, 5, 30, 26), bar);
    QVERIFY(!panel.hint().isPending());
    QCOMPARE(panel.hint().findChild<QLabel*>("hint")->text(), QString("Search the Web"));
    QCOMPARE(panel.hint().screenFrame().center().x(), bar.x() + 53);
    // New content in the panel hides it; a hide before the delay shows nothing.
    panel.show(new Sized(QSize(120, 30)), QRectF(500, 400, 100, 20), std::nullopt, Shape::capsule);
    QVERIFY(!panel.hint().isVisible());
    panel.hint().show("Copy", QRectF(6, 5, 30, 26), bar);
    panel.hint().hide();
    QTest::qWait(80);
    QVERIFY(!panel.hint().isVisible());
}

void ToolbarPanelsTest::eachHintHasItsOwnSize_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("leftBetween"); // the pointer left the first button before entering the next
    QTest::newRow("long, then short") << "Search the Web" << "Explain" << false;
    QTest::newRow("long, left, then short") << "Search the Web" << "Explain" << true;
    QTest::newRow("short, then long") << "Explain" << "Search the Web" << false;
    QTest::newRow("one line, then two") << "Copy" << QString("Translate into the language of the interface, then ") + "copy"
                                        << true;
}

void ToolbarPanelsTest::eachHintHasItsOwnSize()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, leftBetween);
    const auto desktop = screens();
    ToolbarPanel panel(desktop);
    panel.hint().delay = std::chrono::milliseconds(10);
    panel.show(new Sized(QSize(200, 36)), QRectF(500, 400, 100, 20), std::nullopt, Shape::capsule);
    const QRectF bar = panel.screenFrame();
    panel.hint().show(first, QRectF(6, 5, 30, 26), bar);
    QTRY_VERIFY(panel.hint().isVisible());
    // The pointer moves on to the next button while the hint shows.
    if (leftBetween)
        panel.hint().hide();
    panel.hint().show(second, QRectF(38, 5, 30, 26), bar);
    QTRY_VERIFY(panel.hint().isVisible() && !panel.hint().isPending());
    const QSize expected = ToolbarHintView(second).sizeHint().boundedTo(QSize(260, 80));
    QCOMPARE(panel.hint().screenFrame().size(), QSizeF(expected));
    QCOMPARE(panel.hint().screenFrame().center().x(), bar.x() + 53);
    // The window itself has this size, centred on the button's middle (to the pixel).
    const QRect window = panel.hint().geometry();
    QCOMPARE(window.size(), expected);
    QVERIFY2(qAbs(window.x() + window.width() / 2.0 - (bar.x() + 53)) <= 1, qPrintable(QString::number(window.x())));
    QCOMPARE(window.x(), PanelGeometry::toWindowGeometry(panel.hint().screenFrame(), *desktop).x());
}

void ToolbarPanelsTest::toolbarRow_data()
{
    QTest::addColumn<QStringList>("primary");
    QTest::addColumn<QStringList>("overflow");
    QTest::newRow("no overflow") << QStringList{"a", "b", "c"} << QStringList{};
    QTest::newRow("only overflow") << QStringList{} << QStringList{"x", "y"};
    QTest::newRow("both") << QStringList{"a", "b"} << QStringList{"x"};
}

void ToolbarPanelsTest::toolbarRow()
{
    QFETCH(QStringList, primary);
    QFETCH(QStringList, overflow);
    QList<ActionDefinition> p, o;
    for (const auto& id : primary)
        p << action(id);
    for (const auto& id : overflow)
        o << action(id, "magnifyingglass");
    SelectionToolbarView view(p, o, [](const ActionDefinition& a) { return "Title " + a.id; }, {}, {});
    view.adjustSize();
    QStringList shown;
    int lastX = -1;
    for (auto* b : view.buttons()) {
        shown << b->objectName();
        QCOMPARE(b->accessibleName(), "Title " + b->objectName());
        QVERIFY(b->x() > lastX); // left to right in order
        lastX = b->x();
        QCOMPARE(b->size(), QSize(30, 26));
    }
    QCOMPARE(shown, primary);
    QCOMPARE(view.moreButton() != nullptr, !overflow.isEmpty());
    QCOMPARE(view.findChildren<QFrame*>().size() != 0, !overflow.isEmpty()); // the divider
    if (view.moreButton()) {
        QStringList items;
        for (auto* a : view.overflowMenu()->actions())
            items << a->text();
        QStringList expected;
        for (const auto& id : overflow)
            expected << "Title " + id;
        QCOMPARE(items, expected);
        QCOMPARE(view.moreButton()->accessibleName(), QString("More"));
    }
    QCOMPARE(view.sizeHint().height(), 36); // 26 high with 5 above and below
}

void ToolbarPanelsTest::hoverReportsEnterAndLeave()
{
    QList<std::pair<std::optional<QString>, QRectF>> reports;
    SelectionToolbarView view({action("a"), action("b")}, {action("x")}, [](const ActionDefinition& a) { return a.id.toUpper(); },
                              [&](const std::optional<QString>& t, const QRectF& r) { reports.append({t, r}); }, {});
    view.adjustSize();
    auto* second = view.buttons().at(1);
    enter(second);
    leave(second);
    QCOMPARE(reports.size(), 2);
    QCOMPARE(reports[0].first, std::optional<QString>("B"));
    QVERIFY(!reports[1].first);
    QCOMPARE(reports[0].second, QRectF(6 + 30 + 2, 5, 30, 26));
    QCOMPARE(reports[1].second, reports[0].second);
    QVERIFY(!static_cast<ToolbarButton*>(second)->isHovering());
    enter(view.moreButton());
    QCOMPARE(reports.last().first, std::optional<QString>("More"));
}

void ToolbarPanelsTest::menuItemRunsItsOwnAction()
{
    QStringList pressed;
    SelectionToolbarView view({action("a")}, {action("x"), action("y")}, {}, {},
                              [&](const ActionDefinition& a) { pressed << a.id; });
    view.overflowMenu()->actions().at(1)->trigger();
    view.buttons().first()->click();
    QCOMPARE(pressed, (QStringList{"y", "a"}));
    // Opened by the user, the menu holds every item in order, each running its own action.
    SelectionToolbarView opened({action("a")}, {action("x"), action("y"), action("z")}, {}, {},
                                [&](const ActionDefinition& a) { pressed << a.id; });
    QMenu* menu = opened.moreButton()->menu();
    menu->popup(QPoint(100, 100));
    QTRY_VERIFY(menu->isVisible());
    QStringList items;
    for (QAction* item : menu->actions())
        items << item->objectName();
    QCOMPARE(items, (QStringList{"x", "y", "z"}));
    menu->actions().at(2)->trigger();
    QCOMPARE(pressed.last(), QString("z"));
    menu->hide();
}

void ToolbarPanelsTest::theMoreHintGoesWhenItsMenuOpens()
{
    QList<std::optional<QString>> reports;
    SelectionToolbarView view({action("a")}, {action("x")}, [](const ActionDefinition& a) { return a.id; },
                              [&](const std::optional<QString>& t, const QRectF&) { reports.append(t); }, {});
    view.adjustSize();
    enter(view.moreButton());
    QCOMPARE(reports.last(), std::optional<QString>("More"));
    // Opened, the menu lies over the button; the pointer has not left it yet.
    QMenu* menu = view.moreButton()->menu();
    menu->popup(view.mapToGlobal(QPoint(0, view.height())));
    QCOMPARE(reports.size(), 2);
    QVERIFY(!reports.last());
    menu->hide();
}

void ToolbarPanelsTest::theOverflowActionsAreInTheAccessibilityTree()
{
    SelectionToolbarView view({action("a")}, {action("x"), action("y")},
                              [](const ActionDefinition& a) { return "Title " + a.id; }, {}, {});
    QAccessibleInterface* more = QAccessible::queryAccessibleInterface(view.moreButton());
    QVERIFY(more);
    QCOMPARE(more->text(QAccessible::Name), QString("More"));
    // A screen reader reaches the menu below the button, and each action in it by its title.
    QCOMPARE(more->childCount(), 1);
    QAccessibleInterface* menu = more->child(0);
    QVERIFY(menu);
    QCOMPARE(menu->object(), view.moreButton()->menu());
    QCOMPARE(more->indexOfChild(menu), 0);
    // It opens the menu, and there finds each action by its title (the items may be made only
    // when the menu opens).
    QAccessibleActionInterface* actions = more->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
    QMenu* shown = view.moreButton()->menu();
    QStringList items;
    QTimer reader; // the menu runs a loop of its own while it is open
    connect(&reader, &QTimer::timeout, shown, [&] {
        if (!shown->isVisible())
            return;
        QAccessibleInterface* open = more->child(0);
        for (int i = 0; open && i < open->childCount(); ++i)
            items << open->child(i)->text(QAccessible::Name);
        shown->close();
    });
    reader.start(10);
    actions->doAction(QAccessibleActionInterface::showMenuAction());
    QTRY_VERIFY(!items.isEmpty());
    QCOMPARE(items, (QStringList{"Title x", "Title y"}));
    // A button without a menu is left as it was.
    SelectionToolbarView plain({action("a")}, {}, {}, {}, {});
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(plain.buttons().first());
    QVERIFY(button);
    QCOMPARE(button->childCount(), 0);
}

void ToolbarPanelsTest::resultGrowsWideRatherThanWrapping()
{
    SelectionResultView shortOne("= 84");
    SelectionResultView longOne("= " + QString(300, u'9'));
    QCOMPARE(shortOne.findChild<QLabel*>("text")->text(), QString("= 84"));
    QCOMPARE(shortOne.findChild<QLabel*>("copied")->text(), QString("Copied"));
    QVERIFY(longOne.sizeHint().width() > shortOne.sizeHint().width() + 1000);
    QCOMPARE(longOne.sizeHint().height(), shortOne.sizeHint().height());

    // In the panel, a result wider than the capsule's 600 shows whole, "Copied" mark included.
    ToolbarPanel panel(screens());
    auto* wide = new SelectionResultView("= " + QString(100, u'9'));
    const QSize ideal = wide->sizeHint();
    QVERIFY2(ideal.width() > 600 && ideal.width() < 1424, qPrintable(QString::number(ideal.width())));
    panel.show(wide, QRectF(400, 400, 100, 20), std::nullopt, Shape::capsule);
    QCOMPARE(panel.size(), ideal);
    QCOMPARE(wide->size(), ideal);
    const auto* copied = wide->findChild<QLabel*>("copied");
    QVERIFY(copied->mapTo(&panel, QPoint(copied->width(), 0)).x() <= panel.width());
    const auto* text = wide->findChild<QLabel*>("text");
    QCOMPARE(text->width(), text->sizeHint().width());
    // And it stays on screen: its frame inside the visible frame.
    QVERIFY(QRectF(0, 0, 1440, 875).contains(panel.screenFrame()));
}

QTEST_MAIN(ToolbarPanelsTest)
#include "tst_ToolbarPanels.moc"
