#include "sound/UqxSound.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "film/Film.h"
#include "film/Streams.h"
#include "platform/FileOps.h"
#include "platform/UserMessages.h"
#include "sound/qxMPlayer.h"
#include "sound/qxMp3.h"

namespace movarel {
namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

bool MediaPlayerForced() {
    const char* route = std::getenv("MOVAREL_SOUND_ROUTE");
    return route != nullptr && std::strcmp(route, "mediaplayer") == 0;
}

bool OnMainThread() {
    return SoundModule().MainThread == std::this_thread::get_id();
}

int HeaderIndex(const WaveHeader* header) {
    SoundState& s = SoundModule();
    for (int i = 0; i < 2; ++i)
        if (header == &s.Headers[i])
            return i;
    return -1;
}

void CloseSoundFile() {
    SoundState& s = SoundModule();
    if (s.SoundFile >= 0) {
        Files().close(s.SoundFile);
        s.SoundFile = -1;
    }
}

void OpenSoundFile() {
    SoundState& s = SoundModule();
    CloseSoundFile();
    s.SoundFile = Files().open(s.SoundPath.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (s.SoundFile < 0) {
        s.SoundFile = -1;
        throw Error("_lopen error");
    }
}

void WriteHeader(WaveHeader* header) {
    SoundState& s = SoundModule();
    if (s.WaveOut)
        s.WaveOut->Write(header);
}

// A header's return is handled once: by the posted message or by a pump,
// whichever comes first.
bool TakeReturn(WaveHeader* header) {
    return (header->dwFlags.fetch_and(~WHDR_DONE) & WHDR_DONE) != 0;
}

}  // namespace

SoundState& SoundModule() {
    static SoundState state;
    return state;
}

void InitSound(WaveDonePost post) {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    s.PostWaveDone = std::move(post);
    s.MainThread = std::this_thread::get_id();
}

void ShutdownSound() {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    StopSound();
    s.ReopenOnStart = false;
    CloseWaveOut();
    MediaPlayer().Close();
}

bool OpenWaveOut(const MpegLayer3WaveFormat& format, const WaveDonePost& post) {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    if (!post)
        return false;
    if (s.WaveOpen)
        CloseWaveOut();
    int result = TWaveOut::Open(s.WaveOut, format, [post](WaveHeader* header) {
        post(header);
    });
    if (result != MMSYSERR_NOERROR) {
        s.WaveOut.reset();
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        WaveHeader& h = s.Headers[i];
        h.dwFlags.store(0);
        h.dwBytesRecorded = 0;
        h.dwBufferLength = kSoundBufferSize;
        s.Buffers[i].assign(kSoundBufferSize, 0);
        h.lpData = s.Buffers[i].data();
        if (s.WaveOut->PrepareHeader(&h) != MMSYSERR_NOERROR) {
            CloseWaveOut();
            return false;
        }
    }
    s.WaveOpen = true;
    return true;
}

void CloseWaveOut() {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    if (s.WaveOut) {
        // Whatever is still queued comes back first, so the buffers can go.
        int result = s.WaveOut->Close();
        for (int i = 0; i < 2; ++i) {
            WaveHeader& h = s.Headers[i];
            if (h.lpData != nullptr) {
                s.WaveOut->UnprepareHeader(&h);
                h.lpData = nullptr;
                h.dwBytesRecorded = 0;
                std::vector<uint8_t>().swap(s.Buffers[i]);
            }
        }
        if (result != MMSYSERR_NOERROR)
            ShowMessage("WaveOutClose error", "Movarel", MsgIcon::Error, MsgOwner::MainWindow);
        s.WaveOut.reset();
    }
    s.WaveOpen = false;
}

bool ReadSoundBuffer(WaveHeader* header) {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    if (s.SoundFile < 0 || header == nullptr || header->lpData == nullptr)
        return false;
    uint32_t length = header->dwBufferLength;
    // The buffer is always played whole: a short last chunk ends in zeros.
    std::memset(header->lpData, 0, length);
    size_t got = ReadAll(s.SoundFile, header->lpData, std::min<uint32_t>(length, kSoundBufferSize));
    header->dwBytesRecorded = static_cast<uint32_t>(got);
    if (got == 0) {
        s.SoundActive = false;
        return false;
    }
    return true;
}

void OnWaveDone(WaveHeader* header) {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    int index = HeaderIndex(header);
    if (index < 0 || !TakeReturn(header))
        return;
    if (s.SoundActive && ReadSoundBuffer(header) && s.SoundActive)
        WriteHeader(header);
}

void PumpWaveDone() {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    for (WaveHeader& h : s.Headers)
        if (h.dwFlags.load() & WHDR_DONE)
            OnWaveDone(&h);
}

void OpenSound(const std::string& soundFile) {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    s.MainThread = std::this_thread::get_id();
    s.ReopenOnStart = false;
    s.SoundPath = soundFile;
    if (s.SoundPath.empty()) {
        MediaPlayer().FileName.clear();
        CloseSoundFile();
        return;
    }
    s.UseMediaPlayer = true;
    if (s.IsNT && !MediaPlayerForced()) {
        MpegLayer3WaveFormat format;
        bool haveFormat = false;
        try {
            haveFormat = GetMp3FileInfo(s.SoundPath, format);
        } catch (const Error&) {
            // A file that begins with an ID3 tag is still playable: the media
            // player skips the tag.
            if (!StartsWithId3Tag(s.SoundPath))
                throw;
        }
        if (haveFormat)
            s.UseMediaPlayer = !OpenWaveOut(format, s.PostWaveDone);
    }
    if (s.UseMediaPlayer) {
        MediaPlayer().FileName = s.SoundPath;
        MediaPlayer().Open();
    } else {
        OpenSoundFile();
    }
}

void SeekSound(double fraction) {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (s.UseMediaPlayer) {
        TMediaPlayer& player = MediaPlayer();
        player.SetTimeFormat(MCI_FORMAT_SAMPLES);
        double length = player.Length();
        player.Seek(static_cast<uint32_t>(std::nearbyint(length * fraction)));
    } else if (s.SoundFile >= 0) {
        off_t size = Files().seek(s.SoundFile, 0, SEEK_END);
        if (size == -1)
            throw Error("_llseek error");
        off_t target = static_cast<off_t>(std::nearbyint(fraction * static_cast<double>(size)));
        if (Files().seek(s.SoundFile, target, SEEK_SET) == -1)
            throw Error("_llseek error");
    }
}

void StartSound(double fraction) {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    if (s.SoundPath.empty()) {
        PauseSound();
        return;
    }
    if (s.ReopenOnStart) {
        s.ReopenOnStart = false;
        if (s.UseMediaPlayer) {
            MediaPlayer().FileName = s.SoundPath;
            MediaPlayer().Open();
        } else if (s.WaveOpen) {
            OpenSoundFile();
        }
    }
    SeekSound(fraction);
    if (s.UseMediaPlayer) {
        TMediaPlayer& player = MediaPlayer();
        player.Play();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (player.Mode() != mpPlaying && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    if (!s.WaveOut)
        return;
    // Both buffers must be back before they are filled again; returns not yet
    // handled are void now.
    if ((s.Headers[0].dwFlags.load() | s.Headers[1].dwFlags.load()) & WHDR_INQUEUE)
        s.WaveOut->Reset();
    TakeReturn(&s.Headers[0]);
    TakeReturn(&s.Headers[1]);
    bool first = ReadSoundBuffer(&s.Headers[0]);
    bool second = ReadSoundBuffer(&s.Headers[1]);
    s.SoundActive = true;
    if (first)
        WriteHeader(&s.Headers[0]);
    if (second)
        WriteHeader(&s.Headers[1]);
}

void PauseSound() {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    if (s.UseMediaPlayer) {
        MediaPlayer().Pause();
        return;
    }
    // Cleared before the reset, so the returned buffers are not written again.
    s.SoundActive = false;
    if (s.WaveOut)
        s.WaveOut->Reset();
}

void StopSound() {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    if (s.UseMediaPlayer) {
        TMediaPlayer& player = MediaPlayer();
        s.ReopenOnStart = player.DeviceID != 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        player.Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        player.Close();
        return;
    }
    s.SoundActive = false;
    if (s.WaveOut)
        s.WaveOut->Reset();
    s.ReopenOnStart = s.SoundFile >= 0;
    CloseSoundFile();
    // The returned buffers are handled now rather than when their posted
    // messages arrive; that is only possible on the main thread.
    if (OnMainThread())
        PumpWaveDone();
}

float GetVolumePercent() {
    uint32_t value = WaveOutGetVolume();
    double left = value & 0xFFFF;
    double right = value >> 16;
    return static_cast<float>((left + right) * 100.0 / 2.0 / 65535.0);
}

void SetVolumePercent(float percent) {
    double p = percent;
    if (p > 100.0)
        p = 100.0;
    if (!(p >= 0.0))  // also a NaN
        p = 0.0;
    uint32_t level = static_cast<uint32_t>(std::trunc(65535.0 * p / 100.0));
    if (level > 0xFFFF)
        level = 0xFFFF;
    WaveOutSetVolume(level | (level << 16));
}

void TqxSoundCalls::Open(const std::string& soundFile) { movarel::OpenSound(soundFile); }
void TqxSoundCalls::Start(double fraction) { movarel::StartSound(fraction); }
void TqxSoundCalls::Pause() { movarel::PauseSound(); }
void TqxSoundCalls::Stop() { movarel::StopSound(); }

int TqxSoundCalls::MediaPlayerMode() {
    SoundState& s = SoundModule();
    Guard guard(s.Lock);
    if (s.UseMediaPlayer)
        return MediaPlayer().Mode();
    return s.SoundActive ? mpPlaying : mpStopped;
}

}  // namespace movarel
