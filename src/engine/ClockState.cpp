#include "engine/ClockState.h"

#include "film/Film.h"

namespace movarel {

const float kSpeedFactors[9] = {0.1f, 0.25f, 0.5f, 1.0f, 2.0f, 3.0f, 5.0f, 10.0f, 1000.0f};

ClockState& Clock() {
    static ClockState state;
    return state;
}

Segment* CurrentSegmentInfo() { return SegmentList().Items(Clock().CurrentSegment); }

}  // namespace movarel
