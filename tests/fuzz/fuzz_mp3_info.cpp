// The MP3 header reader on a sound file of the input's bytes: the first frame
// header decides the wave format, anything else must be refused with the
// reader's own message.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "film/Streams.h"
#include "sound/qxMp3.h"

using namespace movarel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DiscardMessages();
    const std::string path = fuzz::PrivateDir() + "sound.mp3";
    fuzz::WriteInput(path, data, size);
    MpegLayer3WaveFormat format{};
    try {
        if (GetMp3FileInfo(path, format) && (format.nSamplesPerSec == 0 || format.nBlockAlign != 1))
            abort();
    } catch (const Error&) {
    }
    StartsWithId3Tag(path);
    return 0;
}
