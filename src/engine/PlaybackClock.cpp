#include "engine/PlaybackClock.h"

#include "engine/ClockState.h"
#include "film/SegmentList.h"

namespace movarel {

void SelectSegment(int32_t index) {
    if (index < 0 || index >= SegmentList().Count())
        return;
    Clock().CurrentSegment = index;
}

}  // namespace movarel
