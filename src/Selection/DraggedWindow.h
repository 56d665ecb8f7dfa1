#pragma once

#include "ContextCore/SelectionGate.h"
#include "Platform/WindowList.h"

#include <QPointF>
#include <QRectF>

#include <optional>

// The window under a press, so that a drag of a window by its title bar is not taken for a text
// selection; and the on-screen surfaces of the desktop test. Window-list coordinates (top left).
struct DraggedWindow {
    std::optional<quint32> windowNumber;
    std::optional<QPointF> origin;

    bool isEmpty() const { return !windowNumber && !origin; }
    bool operator==(const DraggedWindow&) const = default;

    struct Found {
        quint32 number = 0;
        QRectF frame;
    };
    // The front-most ordinary window (layer 0) containing the point given in screen coordinates.
    static std::optional<Found> window(const Platform::WindowList& list, std::optional<double> primaryHeight,
                                       const QPointF& point);
    static std::optional<QRectF> frame(const Platform::WindowList& list, quint32 number);
    // Every on-screen window, desktop elements included, front to back.
    static QList<SelectionGate::Surface> onScreenSurfaces(const Platform::WindowList& list);
};
