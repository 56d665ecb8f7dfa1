#include "ScrollCore/ScrollWheelEvent.h"

ScrollWheelEvent::ScrollWheelEvent(const Platform::TapEvent& event, qint64 ownershipMarker)
    : lineDeltaY(event.lineDeltaY), lineDeltaX(event.lineDeltaX), pixelDeltaY(event.pixelDeltaY),
      pixelDeltaX(event.pixelDeltaX), isContinuous(event.isContinuous), scrollPhase(event.scrollPhase),
      momentumPhase(event.momentumPhase), isOurs(event.userData == ownershipMarker)
{
}
