#include "Selection/ToolbarPanel.h"

#include "ContextCore/ToolbarPlacement.h"
#include "Selection/ScreenGeometry.h"
#include "Selection/SelectionToolbarView.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
// Not managed by the window manager (as menus are): it shows the moment it is mapped, stays above
// the application it belongs to and never takes the focus or the active window from it.
constexpr Qt::WindowFlags panelFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
    | Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint;

void configure(QWidget* panel)
{
    panel->setAttribute(Qt::WA_ShowWithoutActivating);
    panel->setAttribute(Qt::WA_TranslucentBackground);
    panel->setAttribute(Qt::WA_X11NetWmWindowTypeDock, false);
    panel->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

// A painted background of the panel's shape: the window colour, slightly translucent, with a
// hairline edge; the mask keeps the corners clear where no compositor blends them.
void paintBackground(QWidget* w, double radius)
{
    QPainter p(w);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(w->rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    QColor fill = w->palette().color(QPalette::Window);
    fill.setAlpha(242);
    p.fillPath(path, fill);
    QColor edge = w->palette().color(QPalette::WindowText);
    edge.setAlphaF(0.16);
    p.setPen(QPen(edge, 1));
    p.drawPath(path);
}

void applyMask(QWidget* w, double radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(w->size())), radius, radius);
    w->setMask(QRegion(path.toFillPolygon().toPolygon()));
}

// Orders a panel out and drops its view.
void orderOut(QWidget* panel, QPointer<QWidget>& content)
{
    panel->hide();
    if (content) {
        content->hide();
        content->deleteLater();
    }
    content = nullptr;
}

void install(QWidget* panel, QWidget* content)
{
    auto* layout = panel->layout();
    while (QLayoutItem* item = layout->takeAt(0))
        delete item;
    layout->addWidget(content);
}
} // namespace

namespace PanelGeometry {

QList<QRectF> visibleFrames(const Platform::Screens& screens)
{
    QList<QRectF> frames;
    for (const auto& s : screens.screens())
        frames << s.visibleFrame;
    return frames;
}

QRectF fallbackVisibleFrame(const Platform::Screens& screens)
{
    if (auto under = ScreenGeometry::screenUnderPointer(screens))
        return under->visibleFrame;
    const auto all = screens.screens();
    return all.isEmpty() ? QRectF() : all.first().visibleFrame;
}

QRect toWindowGeometry(const QRectF& frame, const Platform::Screens& screens)
{
    const double h = ScreenGeometry::primaryHeight(screens).value_or(0);
    return ScreenGeometry::flipped(frame, h).toAlignedRect();
}

} // namespace PanelGeometry

ToolbarHintPanel::ToolbarHintPanel(std::shared_ptr<Platform::Screens> screens, QWidget* parent)
    : QWidget(parent, panelFlags | Qt::WindowTransparentForInput)
    , m_screens(std::move(screens))
{
    configure(this);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pending.setSingleShot(true);
    m_pending.setTimerType(Qt::PreciseTimer);
    connect(&m_pending, &QTimer::timeout, this, &ToolbarHintPanel::place);
}

void ToolbarHintPanel::show(const QString& text, const QRectF& button, const QRectF& bar)
{
    m_pending.stop();
    m_text = text;
    m_button = button;
    m_bar = bar;
    if (isVisible()) {
        place();
        return;
    }
    m_pending.start(delay);
}

void ToolbarHintPanel::place()
{
    auto* view = new ToolbarHintView(m_text);
    QSize size = view->sizeHint().boundedTo(QSize(260, 80));
    if (size.width() <= 0 || size.height() <= 0) {
        delete view;
        return;
    }
    delete m_content.data();
    m_content = view;
    install(this, view);
    // Exactly this hint's size: the layout still holds the last hint's as the least.
    setFixedSize(size);
    const QRectF visible = ToolbarPlacement::screenFrame(m_bar, PanelGeometry::visibleFrames(*m_screens),
                                                         PanelGeometry::fallbackVisibleFrame(*m_screens));
    const QPointF origin = ToolbarPlacement::hintOrigin(m_button, m_bar, QSizeF(size), visible);
    m_frame = QRectF(origin, QSizeF(size));
    setGeometry(PanelGeometry::toWindowGeometry(m_frame, *m_screens));
    applyMask(this, 8);
    QWidget::show();
    raise();
}

void ToolbarHintPanel::hide()
{
    m_pending.stop();
    if (isVisible())
        orderOut(this, m_content);
}

void ToolbarHintPanel::paintEvent(QPaintEvent*)
{
    paintBackground(this, 8);
}

ToolbarPanel::ToolbarPanel(std::shared_ptr<Platform::Screens> screens, QWidget* parent)
    : QWidget(parent, panelFlags)
    , m_screens(screens)
    , m_hint(std::make_unique<ToolbarHintPanel>(screens))
    , m_logger(PrivacyLog::logger(QStringLiteral("ToolbarPanel")))
{
    configure(this);
}

ToolbarPanel::~ToolbarPanel() = default;

QSizeF ToolbarPanel::proposal(Shape shape)
{
    return shape == Shape::capsule ? QSizeF(600, 44) : QSizeF(600, 460);
}

QSize ToolbarPanel::measure(QWidget* content, Shape shape)
{
    // The shape's size is what is offered, not a limit: a view fixed to its ideal size (the
    // toolbar, a text result, the 420-wide card) gets exactly that size. Only a view that wraps
    // and would be wider takes the proposed width, and the height it needs there.
    content->ensurePolished();
    if (content->layout())
        content->layout()->activate();
    const QSize hint = content->sizeHint();
    if (!content->hasHeightForWidth())
        return hint;
    const int width = qMin(hint.width(), int(proposal(shape).width()));
    return QSize(width, content->heightForWidth(width));
}

QSize ToolbarPanel::keptOnScreen(const QSize& size, const QRectF& near, const std::optional<QPointF>& fallback) const
{
    // 8 points inside every edge of the visible frame the panel goes to, as its placement keeps it.
    const QRectF visible = visibleFrame(near, fallback);
    if (visible.isEmpty())
        return size;
    return size.boundedTo(QSize(qMax(1, int(visible.width()) - 16), qMax(1, int(visible.height()) - 16)));
}

QRectF ToolbarPanel::anchorFor(const QRectF& near, const std::optional<QPointF>& fallback)
{
    if (near.width() == 0 && near.height() == 0)
        return QRectF(fallback.value_or(near.topLeft()), QSizeF(0, 0));
    return near;
}

QRectF ToolbarPanel::visibleFrame(const QRectF& near, const std::optional<QPointF>& fallback) const
{
    return ToolbarPlacement::screenFrame(anchorFor(near, fallback), PanelGeometry::visibleFrames(*m_screens),
                                         PanelGeometry::fallbackVisibleFrame(*m_screens));
}

double ToolbarPanel::cornerRadius() const
{
    return m_shape == Shape::capsule ? height() / 2.0 : 14.0;
}

void ToolbarPanel::show(QWidget* content, const QRectF& near, const std::optional<QPointF>& fallback, Shape shape)
{
    const QSize size = keptOnScreen(measure(content, shape), near, fallback);
    if (size.width() <= 0 || size.height() <= 0) {
        m_logger.error(QStringLiteral("Toolbar measured as empty; not showing"));
        delete content;
        return;
    }
    if (m_content) {
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = content;
    m_shape = shape;
    m_near = near;
    m_fallback = fallback;
    install(this, content);
    setFixedSize(size);
    m_frame.setSize(QSizeF(size));
    position(near, fallback);
    applyMask(this, cornerRadius());
    m_hint->hide();
    QWidget::show();
    raise();
}

void ToolbarPanel::position(const QRectF& near, const std::optional<QPointF>& fallback)
{
    const QRectF anchor = anchorFor(near, fallback);
    const QRectF visible = visibleFrame(near, fallback);
    const QPointF origin = ToolbarPlacement::origin(anchor, m_frame.size(), visible);
    m_frame.moveTopLeft(origin); // QRectF's top-left is the minimum corner: the bottom left here
    setGeometry(PanelGeometry::toWindowGeometry(m_frame, *m_screens));
}

void ToolbarPanel::dismiss()
{
    m_hint->hide();
    orderOut(this, m_content);
}

void ToolbarPanel::paintEvent(QPaintEvent*)
{
    paintBackground(this, cornerRadius());
}

bool ToolbarPanel::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest && m_content)
        fit();
    return handled;
}

void ToolbarPanel::fit()
{
    const QSize size = keptOnScreen(measure(m_content, m_shape), m_near, m_fallback);
    if (size.width() <= 0 || size.height() <= 0 || size == this->size())
        return;
    setFixedSize(size);
    m_frame.setSize(QSizeF(size));
    position(m_near, m_fallback);
    applyMask(this, cornerRadius());
}
