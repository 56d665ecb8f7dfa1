#pragma once

#include "RadialCore/RadialSettings.h"

#include <optional>

// The ring's selection: a target item moved by the wheel or a click, and a drawn position that
// follows it on a critically damped spring, frame by frame.
struct RadialSelection {
    static constexpr double stiffness = 130.0;
    static constexpr double rubberBandLimit = 0.55; // items a semicircle's target may pass an end by
    static double damping();                         // 2 sqrt(stiffness): critical

    double position = 0;
    double target = 0;
    double velocity = 0;
    int count = 0;
    RadialShape shape = RadialShape::circle;
    int seats = 1;

    RadialSelection() = default;
    RadialSelection(int count, RadialShape shape, int visibleCount, double position);

    // Follows the target: the highlight changes as soon as the wheel moves.
    std::optional<int> selectedIndex() const;
    bool isResting() const;

    // The wheel: a semicircle's ends give like a rubber band.
    void move(double delta);
    // A click on an item; round a circle the short way.
    void point(int index);
    // One frame: at most 0.1 s is integrated, in steps of at most 1/240 s.
    void advance(double dt);
    // A semicircle's target past an end comes back to it.
    void releaseRubberBand();

    bool operator==(const RadialSelection&) const = default;
};
