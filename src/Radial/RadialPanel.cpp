#include "Radial/RadialPanel.h"

#include "SecurityCore/PrivacyLog.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QWindow>

#include <X11/Xlib.h>

#include <cmath>

RadialPanel::RadialPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                          | Qt::BypassWindowManagerHint | Qt::WindowTransparentForInput)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Ambrel ring"));
    setObjectName(QStringLiteral("RadialPanel"));
}

bool RadialPanel::hasCompositor()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return QGuiApplication::platformName() != u"xcb"; // other platforms blend themselves
    Display* display = x11->display();
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom atom = XInternAtom(display, name.constData(), False);
    return XGetSelectionOwner(display, atom) != None;
}

void RadialPanel::show(const RadialMenuView& view, const Platform::ScreenInfo& screen)
{
    m_view = view;
    // Screen frames have y up from the primary screen's bottom; Qt's y runs down from its top.
    const auto* primary = QGuiApplication::primaryScreen();
    const double primaryHeight = primary ? primary->geometry().height() : screen.frame.height();
    const QRect geometry(int(screen.frame.x()), int(primaryHeight - screen.frame.y() - screen.frame.height()),
                         int(screen.frame.width()), int(screen.frame.height()));
    m_masked = !hasCompositor();
    m_background = {};
    if (m_masked) {
        // Room for the overshoot of the opening, the icons, their shadows and the label.
        m_maskRadius = view.radius * 1.12 + view.iconSize * 0.75 + 24;
        const QPointF c(view.centre.x(), view.height - view.centre.y());
        const QRect disc(int(c.x() - m_maskRadius), int(c.y() - m_maskRadius), int(2 * m_maskRadius) + 1,
                         int(2 * m_maskRadius) + 1);
        if (!m_shown) {
            if (QScreen* s = QGuiApplication::screenAt(geometry.center())) {
                const QRect grab = disc.translated(geometry.topLeft()).intersected(s->geometry());
                m_background = s->grabWindow(0, grab.x() - s->geometry().x(), grab.y() - s->geometry().y(),
                                             grab.width(), grab.height())
                                   .toImage();
                m_backgroundOrigin = QPointF(grab.topLeft() - geometry.topLeft());
            }
        }
        setMask(QRegion(disc, QRegion::Ellipse));
    } else {
        clearMask();
    }
    if (this->geometry() != geometry)
        setGeometry(geometry);
    if (!m_shown) {
        QWidget::show();
        raise();
        m_shown = true;
    }
    QWidget::update();
}

void RadialPanel::update(const RadialMenuView& view)
{
    m_view = view;
    if (m_shown)
        QWidget::update(ringBounds());
}

QRect RadialPanel::ringBounds() const
{
    // Everything the ring draws lies within its disc: only that part is painted again each frame.
    const double reach = m_view.radius * 1.12 + m_view.iconSize * 0.75 + 24;
    const QPointF c(m_view.centre.x(), m_view.height - m_view.centre.y());
    return QRectF(c.x() - reach, c.y() - reach, 2 * reach, 2 * reach + 40).toAlignedRect().intersected(rect());
}

void RadialPanel::close()
{
    m_shown = false;
    hide();
    m_view = {};
    m_background = {};
}

void RadialPanel::setIgnoresMouseEvents(bool ignores)
{
    if (ignores == m_ignoresMouse)
        return;
    m_ignoresMouse = ignores;
    // Changing the widget's own flags would hide a visible panel; its window changes in place.
    if (QWindow* window = windowHandle())
        window->setFlag(Qt::WindowTransparentForInput, ignores);
    else
        setWindowFlag(Qt::WindowTransparentForInput, ignores);
}

void RadialPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRect(event->rect());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(event->rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_view.paint(painter, m_background, m_backgroundOrigin);
}

void RadialPanel::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (m_ignoresMouse || !onClick)
        return;
    onClick(m_view.itemAt(event->position()));
}
