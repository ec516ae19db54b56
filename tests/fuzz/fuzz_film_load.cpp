// The whole film load on a film file of the input's bytes, with the real
// cabinet and LZMA layers: through the trailer as at start-up, then from the
// start as the open dialog does, and the language table in front of it. Once
// the list is cleared the work directory must hold nothing at all; a file or
// folder left behind is reported as a finding.
#include <dirent.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "FuzzSupport.h"
#include "film/FilmReader.h"
#include "film/LanguageTable.h"
#include "film/CabinetPack.h"
#include "film/Film.h"
#include "film/MessageTexts.h"
#include "film/WorkDir.h"
#include "film/Streams.h"
#include "platform/WorkDirectory.h"

using namespace movarel;

namespace {

const std::string& FuzzWorkDir() {
    static const std::string dir = [] {
        // Held for the life of the fuzzer.
        static WorkDirectory held = WorkDirectory::Create(fuzz::PrivateDir());
        if (held.Path().empty())
            abort();
        return held.Path();
    }();
    return dir;
}

void ExpectEmptyWorkDir(const char* after) {
    DIR* dir = opendir(FuzzWorkDir().c_str());
    if (dir == nullptr)
        abort();  // the work directory itself went away
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") {
            std::fprintf(stderr, "left in the work directory after %s: %s\n", after, name.c_str());
            abort();
        }
    }
    closedir(dir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DiscardMessages();
    WorkDir() = FuzzWorkDir();
    const std::string path = fuzz::PrivateDir() + "film.qxf";
    fuzz::WriteInput(path, data, size);

    // A table in front of the film replaces the message texts, so the
    // messages of this load are formatted from texts of the input.
    if (ReadAppendedLanguageTable(path)) {
        ApplyMessageTexts();
        LookUpCaptions();
    }

    try {
        FileStream stream(path, kModeReadShared);
        SegmentList().Clear();
        LoadAppendedFilm(stream);
        SegmentList().Clear();
        ExpectEmptyWorkDir("the appended film");

        stream.SetPosition(0);
        ReadFilm(stream);
        SegmentList().Clear();
        ExpectEmptyWorkDir("the film from its start");
    } catch (const Error&) {
        // A short film, a full disk: the load ends, the shell shows the text.
        SegmentList().Clear();
        ExpectEmptyWorkDir("a refused film");
    } catch (const CabinetError&) {
        SegmentList().Clear();
        ExpectEmptyWorkDir("a cabinet error");
    } catch (const std::exception& e) {
        // Anything else (an allocation sized from the film) is a finding.
        std::fprintf(stderr, "unexpected exception from the film load: %s\n", e.what());
        abort();
    }

    SetLanguageTableBuffer(std::string());
    SetDefaultTexts();
    return 0;
}
