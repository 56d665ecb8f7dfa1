#pragma once

#include "Platform/EventTaps.h"

// One scroll event as the decision reads it.
struct ScrollWheelEvent {
    double lineDeltaY = 0;
    double lineDeltaX = 0;
    double pixelDeltaY = 0;
    double pixelDeltaX = 0;
    bool isContinuous = false;
    qint64 scrollPhase = 0;
    qint64 momentumPhase = 0;
    bool isOurs = false;

    ScrollWheelEvent() = default;
    ScrollWheelEvent(double lineY, double lineX, double pixelY, double pixelX, bool continuous, qint64 phase,
                     qint64 momentum, bool ours)
        : lineDeltaY(lineY), lineDeltaX(lineX), pixelDeltaY(pixelY), pixelDeltaX(pixelX), isContinuous(continuous),
          scrollPhase(phase), momentumPhase(momentum), isOurs(ours) {}
    // `isOurs` when the event carries `ownershipMarker`.
    ScrollWheelEvent(const Platform::TapEvent& event, qint64 ownershipMarker);

    // All four deltas exactly 0 (NaN is not).
    bool isEmpty() const { return lineDeltaY == 0 && lineDeltaX == 0 && pixelDeltaY == 0 && pixelDeltaX == 0; }
    // A notched wheel: not continuous and without phases.
    bool isFromWheel() const { return !isContinuous && scrollPhase == 0 && momentumPhase == 0; }
    bool operator==(const ScrollWheelEvent&) const = default;
};
