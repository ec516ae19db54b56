#pragma once
// The demo's sound track: keystrokes, mouse clicks and a chime, synthesised
// here and encoded to MP3 by the lame encoder when it is installed.
#include <string>
#include <vector>

#include "FilmWriter.h"

namespace movarel::demo {

enum class Sound { Key, Space, Click, Chime };

struct SoundEvent {
    double time = 0;  // seconds from the start of the segment
    Sound sound = Sound::Key;
};

// 16-bit stereo PCM at 44100 Hz, as a WAV file.
writer::Bytes SynthesiseWav(const std::vector<SoundEvent>& events, double seconds);

// The track as MP3 without tags, or empty (with the reason in whyNot) when
// the encoder is missing or fails.
writer::Bytes EncodeMp3(const writer::Bytes& wav, std::string& whyNot);

}  // namespace movarel::demo
