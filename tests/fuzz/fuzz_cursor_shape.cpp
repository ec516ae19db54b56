// The cursor shape reader on a stream of the input's bytes: shape after shape
// until the stream ends, each loaded shape drawn at the corners and the middle
// of a small picture, so its bits are read as the sizes it claims.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "FuzzSupport.h"
#include "film/Picture.h"
#include "film/CursorShapes.h"
#include "film/Streams.h"

using namespace movarel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DiscardMessages();
    if (size > (1u << 20))
        return 0;
    MemoryStream stream;
    if (size > 0) {
        stream.Write(data, static_cast<int32_t>(size));
        stream.SetPosition(0);
    }
    Picture picture;
    picture.Reset(40, 30);
    for (int shapes = 0; shapes < 16 && stream.GetPosition() < stream.GetSize(); ++shapes) {
        const int32_t before = stream.GetPosition();
        CursorShape shape;
        try {
            if (shape.LoadFromFile(stream) != CursorShape::kLoaded)
                break;
        } catch (const Error&) {
            break;
        }
        if (stream.GetPosition() <= before)
            abort();  // a loaded record that takes no bytes would loop forever
        static const int32_t places[][2] = {{0, 0}, {20, 15}, {39, 29}, {-5, -5}, {45, 35}, {65535, 65535}};
        for (const auto& p : places)
            shape.Draw(picture, p[0], p[1]);
    }
    return 0;
}
