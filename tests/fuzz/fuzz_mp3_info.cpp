// The MP3 header reader on a sound file of the input's bytes: a frame header
// is read, anything else must be refused with the reader's own message. A
// file it lets through is then played as a segment's track would be.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "film/Streams.h"
#include "platform/RecordingAudioOutput.h"
#include "sound/Mp3Header.h"
#include "sound/SoundTrack.h"

using namespace movarel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DiscardMessages();
    const std::string path = fuzz::PrivateDir() + "sound.mp3";
    fuzz::WriteInput(path, data, size);
    Mp3Header header;
    try {
        if (ReadMp3Header(path, header) && (header.sampleRate == 0 || header.version < 1 || header.version > 3))
            abort();
    } catch (const Error&) {
    }
    StartsWithId3Tag(path);
    RecordingAudioOutput output;
    SoundTrack track(output);
    try {
        track.Open(path);
        track.Start(0.5);
        output.PullAll(1 << 16);
    } catch (const Error&) {
    }
    return 0;
}
