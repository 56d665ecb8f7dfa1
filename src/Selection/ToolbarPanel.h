#pragma once

#include "Platform/Screens.h"
#include "SecurityCore/PrivacyLog.h"

#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>

// The hint bubble under a hovered toolbar button: shown after a delay, lets clicks through.
class ToolbarHintPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultDelay{280};

    explicit ToolbarHintPanel(std::shared_ptr<Platform::Screens> screens, QWidget* parent = nullptr);

    // `button` is the hovered button's rectangle in the toolbar's coordinates (only its middle
    // counts); `bar` the toolbar panel's frame in screen coordinates. Shown after the delay, or
    // at once when a hint is already up (moving from button to button).
    void show(const QString& text, const QRectF& button, const QRectF& bar);
    void hide();

    bool isPending() const { return m_pending.isActive(); }
    QString text() const { return m_text; }
    // The frame in screen coordinates (origin bottom left, y up).
    QRectF screenFrame() const { return m_frame; }

    std::chrono::milliseconds delay = defaultDelay;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void place();

    std::shared_ptr<Platform::Screens> m_screens;
    QPointer<QWidget> m_content;
    QTimer m_pending;
    QString m_text;
    QRectF m_button;
    QRectF m_bar;
    QRectF m_frame;
};

// The floating panel beside a selection: shows one view at a time (the toolbar, a result, the AI
// run card), sized to it, on a painted rounded background, never taking the keyboard focus.
class ToolbarPanel : public QWidget {
    Q_OBJECT
public:
    enum class Shape {
        capsule, // the toolbar and a text result: 600 × 44 offered, fully rounded ends
        card,    // the AI run card: 600 × 460 offered, corners of 14
    };

    explicit ToolbarPanel(std::shared_ptr<Platform::Screens> screens, QWidget* parent = nullptr);
    ~ToolbarPanel() override;

    static QSizeF proposal(Shape shape);
    // The size a view gets: its ideal size; a view that wraps is laid out no wider than the
    // shape's proposal, at the height it needs there. (The panel then keeps it on screen.)
    static QSize measure(QWidget* content, Shape shape);

    // Takes the view. `near` is the selection's anchor (screen coordinates; the zero rectangle
    // when there is none), `fallback` the mouse-up point. A view that measures empty is not shown
    // and the panel stays as it was.
    void show(QWidget* content, const QRectF& near, const std::optional<QPointF>& fallback, Shape shape);
    // Orders the panel out and drops its view.
    void dismiss();

    QWidget* content() const { return m_content; }
    Shape shape() const { return m_shape; }
    double cornerRadius() const;
    // The frame in screen coordinates (origin bottom left, y up).
    QRectF screenFrame() const { return m_frame; }
    ToolbarHintPanel& hint() { return *m_hint; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // A view that changes its size (a streaming run) is measured and placed again.
    bool event(QEvent* event) override;

private:
    void position(const QRectF& near, const std::optional<QPointF>& fallback);
    void fit();
    // A measured size, cut to the visible frame the panel goes to.
    QSize keptOnScreen(const QSize& size, const QRectF& near, const std::optional<QPointF>& fallback) const;
    static QRectF anchorFor(const QRectF& near, const std::optional<QPointF>& fallback);
    QRectF visibleFrame(const QRectF& near, const std::optional<QPointF>& fallback) const;

    std::shared_ptr<Platform::Screens> m_screens;
    std::unique_ptr<ToolbarHintPanel> m_hint;
    QPointer<QWidget> m_content;
    Shape m_shape = Shape::capsule;
    QRectF m_frame;
    QRectF m_near;
    std::optional<QPointF> m_fallback;
    PrivacyLog::Logger m_logger;
};

// Shared by both panels: how screen coordinates reach the window system.
namespace PanelGeometry {
// The fallback visible frame: the screen under the pointer, else the first, else zero.
QRectF fallbackVisibleFrame(const Platform::Screens& screens);
QList<QRectF> visibleFrames(const Platform::Screens& screens);
// A frame in screen coordinates as a top-left window geometry.
QRect toWindowGeometry(const QRectF& frame, const Platform::Screens& screens);
} // namespace PanelGeometry
