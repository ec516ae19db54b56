#pragma once
// Where a Player's pictures go. Called on the timer thread under the engine
// lock: the sink copies what it needs and returns quickly, and never calls
// back into the Player.
#include <cstdint>

#include "film/Picture.h"

namespace movarel {

struct PixelRect {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // The whole picture is ready to be shown.
    virtual void PresentFrame(const Picture& /*picture*/) {}
    // Only the cursor's surroundings changed: one or two rectangles.
    virtual void PresentCursorArea(const Picture& /*picture*/, const PixelRect* /*rects*/, int /*count*/) {}
};

}  // namespace movarel
