#include "Settings/WheelGuard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPointer>
#include <QScrollBar>
#include <QWidget>

namespace {

constexpr const char* coveredProperty = "ambrelWheelGuard";

// The controls whose value the wheel would change. Scroll bars are what the wheel is meant for.
bool isValueControl(const QObject* object)
{
    if (qobject_cast<const QScrollBar*>(object))
        return false;
    return qobject_cast<const QComboBox*>(object) || qobject_cast<const QAbstractSpinBox*>(object)
        || qobject_cast<const QAbstractSlider*>(object);
}

// Focus from a click or the keyboard only: a wheel passing over must not give it focus first.
void holdBackWheelFocus(QWidget* control)
{
    if ((control->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus)
        control->setFocusPolicy(Qt::StrongFocus);
}

// On each control: without focus the wheel is ignored there, and Qt hands it on to the parents,
// up to the page that scrolls. (A filter on the application would end the event instead.)
class WheelFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel || !watched->isWidgetType() || static_cast<QWidget*>(watched)->hasFocus())
            return false;
        event->ignore();
        return true;
    }
};

WheelFilter* wheelFilter()
{
    static QPointer<WheelFilter> filter;
    if (!filter)
        filter = new WheelFilter(qApp);
    return filter;
}

void cover(QWidget* control)
{
    holdBackWheelFocus(control);
    control->installEventFilter(wheelFilter()); // once: installing again only moves it first
}

// On the application: covers each control of a covered window as it is first shown, so that
// controls added later are covered too.
class PolishWatch final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Polish && isValueControl(watched)) {
            auto* control = static_cast<QWidget*>(watched);
            if (WheelGuard::isProtected(control))
                cover(control);
        }
        return false;
    }
};

} // namespace

namespace WheelGuard {

void protect(QWidget* window)
{
    static QPointer<PolishWatch> watch;
    if (!watch) {
        watch = new PolishWatch(qApp);
        qApp->installEventFilter(watch);
    }
    window->setProperty(coveredProperty, true);
    // Those already polished see no Polish again.
    for (QWidget* child : window->findChildren<QWidget*>())
        if (isValueControl(child))
            cover(child);
}

bool isProtected(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w->property(coveredProperty).toBool())
            return true;
    return false;
}

} // namespace WheelGuard
