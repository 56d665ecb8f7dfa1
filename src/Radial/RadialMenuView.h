#pragma once

#include "Radial/RadialEntry.h"
#include "RadialCore/RadialGeometry.h"
#include "RadialCore/RadialPresentation.h"

#include <QImage>
#include <QPointF>

#include <functional>
#include <optional>

class QPainter;

// The ring at one moment: built anew for every frame from the controller's state, it only draws
// what it is given and says which item a point falls on.
struct RadialMenuView {
    QList<RadialEntry> entries;
    QList<RadialGeometry::Placement> placements;
    QPointF centre;      // in the panel, y up from its bottom edge
    double radius = 0;
    std::optional<int> selectedIndex;
    bool showsLabel = false;
    double height = 0;   // the panel's height: turns y up into the painter's y down
    RadialPresentation presentation;
    double iconSize = 72;
    std::function<void(int)> onTap; // present only while a click chooses

    // How an item is drawn: centre in painter coordinates (y down), scale and opacity.
    struct ItemLook {
        int index = 0;
        QPointF centre;
        double emphasis = 0; // 1 for the selected item, 0 from one item away
        double scale = 1;
        double opacity = 1;
    };
    // The items that are drawn, in entry order (faded-out ones left out).
    QList<ItemLook> looks() const;
    // The selected item's name (the cancel label for the cancel item); none when hidden.
    std::optional<QString> label() const;
    QPointF labelCentre() const; // painter coordinates
    double labelOpacity() const;
    // The item whose round cell (1.12 icon sizes) holds the point (painter coordinates).
    std::optional<int> itemAt(QPointF point) const;

    // `background` is drawn first where the screen has no compositor (what was below the ring).
    void paint(QPainter& painter, const QImage& background = {}, QPointF backgroundOrigin = {}) const;
};
