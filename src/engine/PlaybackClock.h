#pragma once
// The playback clock: starts segments and drives them from the timer.
#include <cstdint>

namespace movarel {

// Makes index the current segment when it is valid (stopping the timer first);
// otherwise does nothing.
void SelectSegment(int32_t index);

}  // namespace movarel
