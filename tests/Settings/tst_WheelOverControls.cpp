#include "AppFixture.h"

#include "App/CorvishApp.h"
#include "Settings/SettingsView.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpontaneKeyEvent>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>

namespace {

// What the user sees of a control's setting.
QVariant valueOf(QWidget* control)
{
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentIndex();
    if (auto* slider = qobject_cast<QAbstractSlider*>(control))
        return slider->value();
    if (auto* box = qobject_cast<QAbstractSpinBox*>(control))
        return box->text();
    return {};
}

// Of the kind, with a value the wheel can change (a picker of one choice has none).
bool isKind(QWidget* w, const QString& kind)
{
    if (kind == u"combo")
        return qobject_cast<QComboBox*>(w) && static_cast<QComboBox*>(w)->count() > 1;
    if (kind == u"slider")
        return qobject_cast<QAbstractSlider*>(w) && !qobject_cast<QScrollBar*>(w);
    return qobject_cast<QAbstractSpinBox*>(w);
}

QScrollArea* pageAround(QWidget* control)
{
    for (QWidget* w = control->parentWidget(); w; w = w->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(w))
            return area;
    return nullptr;
}

// One wheel notch as the window system delivers it: to the innermost widget under the point,
// from where it travels up to whoever takes it. Positive notches turn the wheel away (down).
void wheelOver(QWidget* control, int notches)
{
    QWidget* window = control->window();
    const QPoint inWindow = control->mapTo(window, control->rect().center());
    QWidget* receiver = window->childAt(inWindow);
    QVERIFY(receiver);
    const QPointF local = receiver->mapFrom(window, inWindow);
    QWheelEvent event(local, receiver->mapToGlobal(local), QPoint(), QPoint(0, -120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    // Straight to the application's dispatch: sendEvent() would make it a synthetic event, which
    // Qt does not pass on to the parents.
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(receiver, &event);
}


QMap<QString, Platform::UserDefaults::Value> everythingStored(const Platform::UserDefaults& defaults)
{
    QMap<QString, Platform::UserDefaults::Value> all;
    for (const QString& key : defaults.keys())
        all.insert(key, *defaults.rawValue(key));
    return all;
}

} // namespace

// The wheel over the settings window scrolls its pages; a picker, slider or stepper that the
// wheel passes over keeps its value (and nothing is stored) until the user gives it focus.
class WheelOverControlsTest : public QObject {
    Q_OBJECT
private slots:
    void scrollsThePageUnlessFocused_data();
    void scrollsThePageUnlessFocused();
};

void WheelOverControlsTest::scrollsThePageUnlessFocused_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("subPage"); // -1: the page has none
    QTest::addColumn<QString>("name");    // empty: the first of its kind on the page
    QTest::addColumn<QString>("kind");
    using Tab = SettingsView::Tab;
    const int newFile = int(FinderSettingsView::Page::newFile);
    QTest::newRow("General: usage preset") << int(Tab::general) << -1 << "settings.general.preset" << "combo";
    QTest::newRow("General: AI provider") << int(Tab::general) << -1 << "provider" << "combo";
    QTest::newRow("File Manager, new file: name preset") << int(Tab::finder) << newFile << "settings.newFile.preset" << "combo";
    QTest::newRow("Selection: a picker") << int(Tab::selection) << -1 << "" << "combo";
    QTest::newRow("Scroll: a slider") << int(Tab::scroll) << -1 << "" << "slider";
    QTest::newRow("Radial: ring size") << int(Tab::radial) << -1 << "settings.radial.radius" << "slider";
    QTest::newRow("Radial: items") << int(Tab::radial) << -1 << "settings.radial.visibleCount" << "spinbox";
    QTest::newRow("Radial: confirmation") << int(Tab::radial) << -1 << "settings.radial.confirm" << "combo";
}

void WheelOverControlsTest::scrollsThePageUnlessFocused()
{
    QFETCH(int, tab);
    QFETCH(int, subPage);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    AppFixture f;
    auto model = f.makeModel();
    CorvishApp app(*model);
    app.openSettings();
    SettingsView* window = app.settingsWindow();
    // Short enough that every page scrolls.
    window->setFixedSize(SettingsView::width, 320);
    window->tabs()->setCurrentIndex(tab);
    if (subPage >= 0)
        qobject_cast<SubPageHost*>(window->page(SettingsView::Tab(tab)))->setPageIndex(subPage);
    QVERIFY(QTest::qWaitForWindowActive(window));

    QWidget* control = nullptr;
    for (QWidget* w : window->page(SettingsView::Tab(tab))->findChildren<QWidget*>())
        if (isKind(w, kind) && w->isVisible() && (name.isEmpty() || w->objectName() == name)) {
            control = w;
            break;
        }
    QVERIFY(control);
    QScrollArea* page = pageAround(control);
    QVERIFY(page);
    page->ensureWidgetVisible(control);
    QScrollBar* bar = page->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    const int notch = bar->value() < bar->maximum() ? 1 : -1;
    const int scrolledFrom = bar->value();
    const QVariant before = valueOf(control);
    const auto stored = everythingStored(f.defaults());
    QVERIFY(!control->hasFocus());

    wheelOver(control, notch);
    QCOMPARE(valueOf(control), before);
    QVERIFY(everythingStored(f.defaults()) == stored);
    QVERIFY(!control->hasFocus());
    QVERIFY(notch > 0 ? bar->value() > scrolledFrom : bar->value() < scrolledFrom);

    // Once focused (clicked, or tabbed to) the control takes the wheel.
    page->ensureWidgetVisible(control);
    control->setFocus(Qt::TabFocusReason);
    QVERIFY(control->hasFocus());
    // At the end of its range a notch one way changes nothing; the other way it does.
    wheelOver(control, 1);
    if (valueOf(control) == before)
        wheelOver(control, -1);
    QVERIFY(valueOf(control) != before);
}

QTEST_MAIN(WheelOverControlsTest)
#include "tst_WheelOverControls.moc"
