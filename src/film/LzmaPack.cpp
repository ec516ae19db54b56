#include "film/LzmaPack.h"

#include <lzma.h>
#include <memory>
#include <unistd.h>
#include <vector>

#include "platform/Texts.h"
#include "film/Streams.h"
#include "platform/UserMessages.h"

namespace movarel {

namespace {
struct LzmaStream {
    lzma_stream strm = LZMA_STREAM_INIT;
    ~LzmaStream() { lzma_end(&strm); }
};
}  // namespace

LzmaUnpackResult UnpackLzmaPack(const std::string& packFileName, const std::string& directory,
                                int64_t outputLimit, std::string& outputName, std::string& error) {
    outputName.clear();
    error.clear();
    LzmaStream lz;
    if (lzma_alone_decoder(&lz.strm, kLzmaMemoryLimit) != LZMA_OK) {
        ShowMessage(Texts().VideoDecompressorError, Texts().Error, MsgIcon::Error, MsgOwner::MainWindow);
        return LzmaUnpackResult::NoDecoder;
    }
    std::unique_ptr<FileStream> input;
    try {
        input = std::make_unique<FileStream>(packFileName, kModeRead);
    } catch (const Error&) {
        error = "has a pack that cannot be opened";
        return LzmaUnpackResult::Failed;
    }
    std::string name = MakeTempFileName("~7z", directory, "qxS_");
    std::unique_ptr<FileStream> output;
    try {
        output = std::make_unique<FileStream>(name, kModeCreate);
    } catch (const Error&) {
        ShowMessage(Texts().CannotCreateTempFile, Texts().Error, MsgIcon::Error, MsgOwner::MainWindow);
        error = "has no file for its data: one cannot be created";
        return LzmaUnpackResult::Failed;
    }
    auto fail = [&](const std::string& why) {
        output.reset();
        ::unlink(name.c_str());
        error = why;
        return LzmaUnpackResult::Failed;
    };

    std::vector<uint8_t> in(Stream::kCopyBufferSize), out(Stream::kCopyBufferSize);
    lzma_action action = LZMA_RUN;
    int64_t written = 0;
    lz.strm.avail_in = 0;
    for (;;) {
        if (lz.strm.avail_in == 0 && action == LZMA_RUN) {
            int32_t n = input->Read(in.data(), static_cast<int32_t>(in.size()));
            lz.strm.next_in = in.data();
            lz.strm.avail_in = static_cast<size_t>(n > 0 ? n : 0);
            if (n <= 0)
                action = LZMA_FINISH;
        }
        lz.strm.next_out = out.data();
        lz.strm.avail_out = out.size();
        lzma_ret ret = lzma_code(&lz.strm, action);
        size_t produced = out.size() - lz.strm.avail_out;
        if (produced > 0) {
            written += static_cast<int64_t>(produced);
            if (written > outputLimit)
                return fail("has an LZMA pack that decodes to more than the segment's sizes allow");
            if (output->Write(out.data(), static_cast<int32_t>(produced)) != static_cast<int32_t>(produced)) {
                // A full disk is no damage of the film: the load ends as
                // every other refused write does, naming the file.
                fail("");
                throw Error("Cannot write file " + name);
            }
        }
        if (ret == LZMA_STREAM_END)
            break;
        if (ret == LZMA_MEMLIMIT_ERROR)
            return fail("has an LZMA pack that needs more memory than allowed");
        if (ret != LZMA_OK)
            return fail("has an LZMA pack that is damaged or cut short");
    }
    outputName = name;
    return LzmaUnpackResult::Decoded;
}

}  // namespace movarel
