#pragma once
// The mouse pointer shapes the demo film records, drawn as character art.
#include "FilmWriter.h"

namespace movarel::demo {

enum class Pointer { Arrow, IBeam, Move, Hand, MonoHand };

// The shape as the recorder stores it: 32 x 32, colour shapes at 32 bits
// per pixel, monochrome ones as AND and XOR masks.
writer::CursorShapeSpec PointerShape(Pointer pointer);

}  // namespace movarel::demo
