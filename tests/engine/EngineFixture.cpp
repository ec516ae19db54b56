#include "EngineFixture.h"

#include <cstring>

#include "platform/Texts.h"
#include "platform/WorkDirectory.h"

namespace movarel::test {

void TestHost::PresentFrame(const Picture& picture) {
    wholePresents++;
    if (onPresent)
        onPresent(picture);
}

void TestHost::PresentCursorArea(const Picture&, const PixelRect* rects, int count) {
    cursorAreas.emplace_back(rects, rects + count);
}

void TestHost::Watch(const PlayerEvent& event) {
    if (std::holds_alternative<TimeDisplayChanged>(event)) {
        // Every tick asks for one; only the first waits in the queue.
        if (onTick)
            onTick();
        return;
    }
    if (const auto* started = std::get_if<SegmentStarted>(&event))
        if (started->minimize)
            minimized++;
    std::lock_guard<std::mutex> guard(lock);
    history.push_back(event);
}

std::vector<PlayerEvent> TestHost::Posted() {
    std::lock_guard<std::mutex> guard(lock);
    return history;
}

void CountingSound::Start(double fraction) {
    starts++;
    lastFraction = fraction;
    if (throwOnStart)
        throw Error("_llseek error");
}

void EngineTest::MakePlayer(bool manual, bool testClock) {
    player.reset();
    PlayerSetup setup;
    setup.Sink = &host;
    setup.Sound = &sound;
    setup.ManualTicks = manual;
    if (testClock)
        setup.Now = [this] { return testNow; };
    setup.Stop = [this] {
        host.stops++;
        player->StopPlaybackCommand();
    };
    player = std::make_unique<Player>(*film, setup);
    player->Events().SetWatch([this](const PlayerEvent& event) { host.Watch(event); });
}

void EngineTest::SetUp() {
    SetDefaultTexts();
    film = std::make_unique<Film>(WorkDirectory::Create(dir.path));
    MakePlayer(true);
    sound.starts = sound.pauses = sound.stops = sound.opens = 0;
}

void EngineTest::TearDown() {
    player.reset();
    film.reset();
}

void EngineTest::UseRealTimer() { MakePlayer(false); }

void EngineTest::UseTestClock() { MakePlayer(true, true); }

Segment* EngineTest::AddSegment(const SegmentBuild& build) {
    Segment* segment = film->Add();
    segment->Width = build.width;
    segment->Height = build.height;
    segment->BitsPerPixel = build.bpp;
    segment->Fps = build.fps;
    segment->Flags = build.flags;
    segment->FrameCount = build.frameCount >= 0 ? build.frameCount : static_cast<int32_t>(build.records.size());
    for (const auto& record : build.records)
        segment->FrameStream->Write(record.data(), static_cast<int32_t>(record.size()));
    segment->FrameStream->SetPosition(0);
    writer::Bytes track = writer::EncodeCursorTrack(build.track);
    segment->CursorTrack.assign(track.begin(), track.end());
    return segment;
}

void EngineTest::ClearFilm() {
    while (film->Count() > 0)
        film->DeleteLast();
}

void EngineTest::Pump(bool everything) {
    if (everything)
        player->DrainEvents();
    else
        player->RefillPostedBlocks();
}

int EngineTest::TickToEnd(int limit) {
    int ticks = 0;
    while (ticks < limit && !Clock().EndPosted && TickManualTimers()) {
        ticks++;
        Pump(false);
    }
    return ticks;
}

std::vector<uint32_t> ReferenceDecode(const std::vector<writer::Bytes>& records, int32_t width, int32_t height,
                                      size_t count) {
    std::vector<uint32_t> picture(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (size_t r = 0; r < count && r < records.size(); ++r) {
        const writer::Bytes& rec = records[r];
        int32_t runs;
        std::memcpy(&runs, rec.data() + 4, 4);
        size_t p = 0;
        for (int32_t i = 0; i < runs; ++i) {
            const uint8_t* run = rec.data() + 8 + 5 * static_cast<size_t>(i);
            uint32_t colour = run[0] | run[1] << 8 | run[2] << 16;
            uint32_t n = run[3] | run[4] << 8;
            for (uint32_t k = 0; k < n && p < picture.size(); ++k)
                picture[p++] ^= colour;
        }
    }
    return picture;
}

}  // namespace movarel::test
