#include "SoundTestSupport.h"

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/PlaybackClock.h"
#include "film/Film.h"
#include "platform/WaveOut.h"
#include "sound/UqxSound.h"
#include "sound/qxMPlayer.h"

namespace soundtest {

using namespace movarel;

bool HaveEncoder() {
    static const bool have = std::system("command -v sox >/dev/null 2>&1 && command -v lame >/dev/null 2>&1") == 0;
    return have;
}

std::string MakeToneMp3(const std::string& dir, const std::string& name, double seconds, int rate, int channels,
                        const std::string& extraLame) {
    std::string wav = dir + name + ".wav";
    std::string mp3 = dir + name;
    std::string sox = "sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " '" + wav +
                      "' synth " + std::to_string(seconds) + " sine 440 vol 0.5";
    std::string lame = "lame --quiet " + extraLame + " '" + wav + "' '" + mp3 + "'";
    EXPECT_EQ(std::system(sox.c_str()), 0) << sox;
    EXPECT_EQ(std::system(lame.c_str()), 0) << lame;
    std::filesystem::remove(wav);
    return mp3;
}

void UseDiskAudio(const std::string& file, int delayMs) {
    ShutdownAudioOutput();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", std::to_string(delayMs).c_str(), 1);
}

void UseNoAudio() {
    ShutdownAudioOutput();
    setenv("SDL_AUDIODRIVER", "no-such-audio-driver", 1);
}

std::vector<int16_t> ReadSamples(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty())
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

Span LoudSpan(const std::vector<int16_t>& samples, int threshold) {
    Span span;
    bool found = false;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(int{samples[i]}) > threshold) {
            if (!found)
                span.begin = i;
            found = true;
            span.end = i + 1;
        }
    }
    return span;
}

int PeakOf(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (int16_t s : samples)
        peak = std::max(peak, std::abs(int{s}));
    return peak;
}

movarel::WaveDonePost PumpedHost::Post() {
    return [this](WaveHeader* header) {
        std::lock_guard<std::mutex> guard(lock);
        queue.push_back(header);
    };
}

int PumpedHost::PumpOnce() {
    std::deque<WaveHeader*> now;
    {
        std::lock_guard<std::mutex> guard(lock);
        now.swap(queue);
    }
    for (WaveHeader* header : now)
        OnWaveDone(header);
    return static_cast<int>(now.size());
}

bool PumpedHost::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        PumpOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

void PumpedHost::PumpFor(int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
        PumpOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

size_t PumpedHost::Pending() {
    std::lock_guard<std::mutex> guard(lock);
    return queue.size();
}

Film& TestFilm() {
    static Film film;
    return film;
}

ClockState& TestClock() {
    static ClockState clock;
    return clock;
}

std::string CurrentSoundFile() {
    const Segment* segment = TestFilm().Items(TestClock().CurrentSegment);
    return segment != nullptr ? segment->SoundFileName : std::string();
}

void StartCurrent(PlayerSound& sound) {
    const Segment* segment = TestFilm().Items(TestClock().CurrentSegment);
    if (segment == nullptr || TestClock().SpeedPosition != kNormalSpeedPosition) {
        sound.Pause();
        return;
    }
    sound.Start(SoundFraction(TestClock().FrameIndex, segment->FrameCount));
}

void StartCurrent() {
    TqxSoundCalls calls;
    StartCurrent(calls);
}

void ClearTestFilm() {
    while (TestFilm().Count() > 0)
        TestFilm().DeleteLast();
}

void MakeSoundSegment(const std::string& dir, const std::string& soundFile, int frameCount) {
    Segment* segment = TestFilm().Add();
    std::string copy = dir + "segment" + std::to_string(TestFilm().Count()) +
                       std::filesystem::path(soundFile).extension().string();
    std::filesystem::copy_file(soundFile, copy, std::filesystem::copy_options::overwrite_existing);
    segment->SoundFileName = copy;
    segment->FrameCount = frameCount;
    segment->Fps = 10;
    TestClock().CurrentSegment = TestFilm().Count() - 1;
}

void SoundFixture::SetUp() {
    if (!HaveEncoder())
        GTEST_SKIP() << "sox and lame are needed to make test sounds";
    unsetenv("MOVAREL_SOUND_ROUTE");
    diskFile = dir.path + "played.raw";
    UseDiskAudio(diskFile);
    ResetNoAudioNotice();
    WaveOutSetVolume(0xFFFFFFFFu);
    InitSound(host.Post());
    SoundModule().IsNT = true;
    TestClock().SpeedPosition = kNormalSpeedPosition;
    TestClock().FrameIndex = 0;
}

void SoundFixture::TearDown() {
    ShutdownSound();
    host.PumpOnce();
    InitSound(nullptr);
    ClearTestFilm();
    TestClock().CurrentSegment = 0;
    ShutdownAudioOutput();
}

void SoundFixture::WaitWaveOutDone() {
    SoundState& s = SoundModule();
    auto idle = [&s] {
        return !s.SoundActive && !(s.Headers[0].dwFlags.load() & WHDR_INQUEUE) &&
               !(s.Headers[1].dwFlags.load() & WHDR_INQUEUE);
    };
    EXPECT_TRUE(host.PumpUntil(idle));
    host.PumpFor(60);
}

std::vector<int16_t> SoundFixture::PlayToEnd(int speedPosition, int frameIndex) {
    TestClock().SpeedPosition = speedPosition;
    TestClock().FrameIndex = frameIndex;
    OpenSound(CurrentSoundFile());
    StartCurrent();
    if (SoundModule().UseMediaPlayer) {
        host.PumpUntil([] { return MediaPlayer().Mode() != mpPlaying; });
        host.PumpFor(60);
    } else {
        WaitWaveOutDone();
    }
    // Closing the output flushes the driver's file.
    StopSound();
    CloseWaveOut();
    MediaPlayer().Close();
    return ReadSamples(diskFile);
}

}  // namespace soundtest
