// Inputs that once broke the engine, kept as they were found.
#include <memory>

#include "EngineFixture.h"
#include "engine/Player.h"
#include "film/CursorShapes.h"
#include "platform/PeriodicTimer.h"

namespace movarel::test {
namespace {

std::unique_ptr<CursorShape> LoadShape(const writer::CursorShapeSpec& written) {
    writer::Bytes bytes = writer::EncodeCursorShape(written);
    MemoryStream stream;
    stream.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    auto shape = std::make_unique<CursorShape>();
    EXPECT_EQ(shape->LoadFromFile(stream), CursorShape::kLoaded);
    return shape;
}

class Regressions_ : public EngineTest {};

// A recorded cursor right of or below the picture (a second screen, a track
// from a larger desktop) once saved its background with a negative width.
TEST_F(Regressions_, CursorOutsideThePictureDrawsNothingAndLeavesNoTrace) {
    const int32_t w = 8, h = 6;
    const std::vector<writer::CursorSample> track = {
        {0, 1, 1}, {0, 65535, 2}, {0, 2, 65535}, {0, 65535, 65535}, {0, w, 0}, {0, 0, h}, {0, 3, 3}, {0, 40, 1},
    };
    // Every record leaves the picture black, so whatever is not black is the cursor.
    std::vector<writer::Bytes> records(track.size(), writer::MakeFrameRecord({{0, w * h}}));
    Segment* segment = AddSegment({.width = w, .height = h, .records = records, .track = track});
    const std::vector<uint8_t> opaque(16, 0);
    segment->Cursors.Add(LoadShape(writer::ColourCursor(4, 4, opaque, std::vector<uint32_t>(16, 0x00FFFFFF))));
    ASSERT_TRUE(StartSegment(0));

    for (size_t i = 0; i < track.size(); ++i) {
        SCOPED_TRACE("sample " + std::to_string(i));
        ASSERT_TRUE(TickManualTimers());
        Pump(false);
        const bool onPicture = track[i].x < w && track[i].y < h;
        size_t lit = 0;
        for (uint32_t pixel : CurrentPicture().Pixels)
            lit += pixel != 0;
        if (onPicture)
            EXPECT_GT(lit, 0u);
        else
            EXPECT_EQ(lit, 0u);
    }
}

}  // namespace
}  // namespace movarel::test
