// Frame decoding and applying with the recorded cursor drawn over the picture,
// in the order of a timer tick; each picture is checked against a plain
// decoding of the record, and each record is also applied unchecked. The
// input gives the frame size and depth, the
// cursor shapes (read by the shape reader), the cursor track and the frame
// records; sizes are bounded so one run stays small.
//
// Input: width, height, depth selector, shape count (bytes); per shape a
// 16-bit length and the record; a 16-bit sample count and 6 bytes per sample;
// the rest is the frame stream.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "engine/CursorTrack.h"
#include "engine/FrameDecoder.h"
#include "engine/Player.h"
#include "engine/XorRunDecoder.h"
#include "film/CursorShapes.h"
#include "film/Film.h"
#include "film/Streams.h"
#include "platform/WorkDirectory.h"

using namespace movarel;

namespace {

constexpr int32_t kDepths[] = {32, 24, 16, 8};

void AddShapes(Segment& segment, fuzz::InputReader& in, int shapes) {
    for (int i = 0; i < shapes; ++i) {
        std::vector<uint8_t> record = in.Take(in.Word());
        MemoryStream stream;
        if (!record.empty())
            stream.Write(record.data(), static_cast<int32_t>(record.size()));
        if (stream.GetSize() > 0)
            stream.SetPosition(0);
        auto shape = std::make_unique<CursorShape>();
        try {
            if (shape->LoadFromFile(stream) != CursorShape::kLoaded)
                continue;
        } catch (const Error&) {
            continue;
        }
        segment.Cursors.Add(std::move(shape));
    }
}

// One film and one player for the whole run: the surfaces stay from run to
// run, as they do between segments.
struct Playing {
    Film film{WorkDirectory::Create(fuzz::PrivateDir())};
    Player player{film, PlayerSetup{}};
};
Playing& Run() {
    static Playing playing;
    return playing;
}

// The picture after a record, worked out the slow, obvious way: the record
// is taken only when its runs lie inside it and cover the frame exactly.
bool ReferenceApply(const uint8_t* record, int32_t available, std::vector<uint32_t>& pixels) {
    if (available < 8)
        return false;
    int32_t size, runs;
    std::memcpy(&size, record, 4);
    std::memcpy(&runs, record + 4, 4);
    if (size > available || size < 8 || runs <= 0 || 8 + 5 * int64_t{runs} > size)
        return false;
    uint64_t covered = 0;
    for (int32_t i = 0; i < runs; ++i)
        covered += record[8 + 5 * i + 3] | record[8 + 5 * i + 4] << 8;
    if (covered != pixels.size())
        return false;
    size_t at = 0;
    for (int32_t i = 0; i < runs; ++i) {
        const uint8_t* run = record + 8 + 5 * i;
        const uint32_t colour = run[0] | run[1] << 8 | run[2] << 16;
        for (int n = run[3] | run[4] << 8; n > 0; --n)
            pixels[at++] ^= colour;
    }
    return true;
}

void Tick(Player& player, const uint8_t* record, int32_t available) {
    player.RestoreCursorBackground();
    std::vector<uint32_t> expected = player.CurrentPicture().Pixels;
    const bool taken = ReferenceApply(record, available, expected);
    const UnpackResult result = UnpackRecord(player.Decoding(), record, available);
    if (player.Decoding().Decodable && (result == UnpackResult::Done) != taken)
        __builtin_trap();
    if (result == UnpackResult::Done) {
        ApplyXorFrame(player.Decoding());
        if (player.CurrentPicture().Pixels != expected)
            __builtin_trap();
    }
    // Applied unchecked, as a record that changed after its check would be:
    // it must stay inside the record's bytes and the picture.
    std::vector<uint32_t> scratch(player.CurrentPicture().Pixels.size());
    ApplyXorRecord(record, available, scratch.data(), scratch.size());
    player.ReadCursorSample();
    player.SaveCursorBackground();
    player.DrawCursor();
    PixelRect rects[2];
    player.CursorAreaRects(rects);
    player.CommitCursorPosition();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DiscardMessages();
    fuzz::InputReader in(data, size);
    const int32_t width = 1 + in.Byte() % 64;
    const int32_t height = 1 + in.Byte() % 64;
    const int32_t depth = kDepths[in.Byte() % 4];
    const int shapes = in.Byte() % 5;

    Film& film = Run().film;
    Player& player = Run().player;
    while (film.Count() > 0)
        film.DeleteLast();
    Segment* segment = film.Add();
    segment->Width = width;
    segment->Height = height;
    segment->BitsPerPixel = static_cast<uint8_t>(depth);
    AddShapes(*segment, in, shapes);
    std::vector<uint8_t> track = in.Take(6 * static_cast<size_t>(in.Word() % 256));
    segment->CursorTrack = track;

    player.Clock().CurrentSegment = 0;
    player.Cursor() = CursorState{};
    if (player.PrepareDisplay()) {
        ResetCursorBox(player.Cursor());
        ClearFrameBitmaps(player.Decoding());
        // The records are copied so each one ends exactly where the input
        // does: a read past it is a read past the buffer.
        const uint8_t* at = in.Rest();
        size_t left = in.RestSize();
        for (int frame = 0; frame < 64; ++frame) {
            std::unique_ptr<uint8_t[]> copy(new uint8_t[left ? left : 1]);
            if (left)
                std::memcpy(copy.get(), at, left);
            Tick(player, copy.get(), static_cast<int32_t>(left));
            int32_t recordSize = 0;
            if (left >= 4)
                std::memcpy(&recordSize, at, 4);
            if (recordSize < 8 || static_cast<size_t>(recordSize) > left)
                break;
            at += recordSize;
            left -= static_cast<size_t>(recordSize);
        }
    }
    while (film.Count() > 0)
        film.DeleteLast();
    return 0;
}
