#include "EngineFixture.h"

#include <cstring>

#include "engine/PlaybackClock.h"
#include "engine/BlockQueue.h"
#include "film/MessageTexts.h"
#include "platform/PeriodicTimer.h"

namespace movarel::test {

void TestHost::PostToMainThread(uint32_t message, uintptr_t wParam, uintptr_t lParam) {
    std::lock_guard<std::mutex> guard(lock);
    queue.push_back({message, wParam, lParam});
    history.push_back({message, wParam, lParam});
}

void TestHost::RunStopCommand() {
    stops++;
    StopPlaybackCommand();
}

void TestHost::PresentFrame(const Picture& picture) {
    wholePresents++;
    if (onPresent)
        onPresent(picture);
}

void TestHost::PresentCursorArea(const Picture&, const PixelRect* rects, int count) {
    cursorAreas.emplace_back(rects, rects + count);
}

void TestHost::RefreshTimeDisplay() {
    if (onTick)
        onTick();
}

bool TestHost::PumpPostedMessages() {
    if (!pumpFromEngine)
        return false;
    Pump(false);
    return true;
}

int TestHost::Pump(bool commands) {
    int handled = 0;
    for (;;) {
        PostedMessage next{};
        {
            std::lock_guard<std::mutex> guard(lock);
            auto it = queue.begin();
            while (it != queue.end() && !commands && it->message != UM_BLOCKEMPTY)
                ++it;
            if (it == queue.end())
                return handled;
            next = *it;
            queue.erase(it);
        }
        DispatchEngineMessage(next.message, next.wParam, next.lParam);
        handled++;
    }
}

std::vector<PostedMessage> TestHost::Posted() {
    std::lock_guard<std::mutex> guard(lock);
    return history;
}

int TestHost::CountPosted(uint32_t message, uintptr_t wParam) {
    int n = 0;
    for (const auto& m : Posted())
        if (m.message == message && (wParam == UINTPTR_MAX || m.wParam == wParam))
            n++;
    return n;
}

void CountingSound::StartSound() {
    starts++;
    if (throwOnStart)
        throw Error("_llseek error");
}

void EngineTest::SetUp() {
    SetDefaultTexts();
    SetManualTickMode(true);
    SetupEngine(&host, &sound);
    StopPlaybackForLoad();
    SegmentList().Clear();
    Clock().SpeedPosition = kNormalSpeedPosition;
    Clock().CurrentSegment = 0;
    sound.starts = sound.pauses = sound.stops = sound.opens = 0;
}

void EngineTest::TearDown() {
    StopPlaybackForLoad();
    SegmentList().Clear();
    SetupEngine(nullptr, nullptr);
    SetManualTickMode(false);
}

Segment* EngineTest::AddSegment(const SegmentBuild& build) {
    Segment* segment = SegmentList().Add(dir.path);
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
    if (!track.empty())
        segment->CursorTrack->Write(track.data(), static_cast<int32_t>(track.size()));
    segment->CursorTrack->SetPosition(0);
    return segment;
}

int EngineTest::TickToEnd(int limit) {
    int ticks = 0;
    while (ticks < limit && !Clock().EndPosted && TickManualTimers()) {
        ticks++;
        host.Pump(false);
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
