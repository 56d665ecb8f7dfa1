#pragma once

#include "Platform/Screens.h"
#include "Radial/RadialMenuView.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <optional>

// The ring's window: frameless, above everything, never focused, over the whole screen under the
// ring. It lets the mouse through except while a click chooses. Where no compositor blends
// translucent windows it is cut to the ring's disc and shows what lay below it, so the rest of the
// screen stays visible and usable.
class RadialPanel : public QWidget {
    Q_OBJECT
public:
    explicit RadialPanel(QWidget* parent = nullptr);

    // Shows the ring over `screen` (screen coordinates, y up): the view's centre and height are
    // relative to that screen's frame.
    void show(const RadialMenuView& view, const Platform::ScreenInfo& screen);
    // Replaces the drawn ring on a visible panel.
    void update(const RadialMenuView& view);
    void close();
    bool isShown() const { return m_shown; }
    const RadialMenuView& view() const { return m_view; }

    bool ignoresMouseEvents() const { return m_ignoresMouse; }
    void setIgnoresMouseEvents(bool ignores);
    // A press on the panel: over an item (its index) or not (none).
    std::function<void(std::optional<int>)> onClick;

    // Whether a compositing manager blends translucent windows on this display.
    static bool hasCompositor();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect ringBounds() const;

    RadialMenuView m_view;
    bool m_shown = false;
    bool m_ignoresMouse = true;
    bool m_masked = false;
    QImage m_background;
    QPointF m_backgroundOrigin;
    double m_maskRadius = 0;
};
