// The whole film load on a film file of the input's bytes, with the real
// cabinet and LZMA layers: through the trailer as at start-up, then from the
// start as the open dialog does, and the language table in front of it. Once
// a film is deleted nothing of it may be left; a file or folder left behind
// is reported as a finding.
#include <dirent.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include "film/FilmReader.h"
#include "film/LanguageTable.h"
#include "film/CabinetPack.h"
#include "film/Film.h"
#include "platform/Texts.h"
#include "film/Streams.h"
#include "platform/WorkDirectory.h"

using namespace movarel;

namespace {

// Each read is given a work directory in a folder of its own; the film read
// into it may hold its segments' files there and nothing else, and once it
// is deleted nothing of it is left. A file or folder left behind is
// reported as a finding.
const std::string& Temp() {
    static const std::string dir = [] {
        const std::string made = fuzz::PrivateDir() + "tmp/";
        if (::mkdir(made.c_str(), 0700) != 0)
            abort();
        return made;
    }();
    return dir;
}

void ExpectOnlySegmentFiles(const Film& film, const char* after) {
    std::set<std::string> own;
    for (int32_t i = 0; i < film.Count(); ++i)
        for (const std::string& name : {film.Items(i)->FrameFileName, film.Items(i)->SoundFileName})
            if (!name.empty())
                own.insert(name.substr(name.find_last_of('/') + 1));
    DIR* dir = opendir(film.WorkPath().c_str());
    if (dir == nullptr)
        abort();  // the work directory itself went away
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && own.count(name) == 0) {
            std::fprintf(stderr, "left in the work directory after %s: %s\n", after, name.c_str());
            abort();
        }
    }
    closedir(dir);
}

void ExpectNothingLeft(const char* after) {
    DIR* dir = opendir(Temp().c_str());
    if (dir == nullptr)
        abort();
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") {
            std::fprintf(stderr, "left behind by the film after %s: %s\n", after, name.c_str());
            abort();
        }
    }
    closedir(dir);
}

// Checks what a read left, reports a failure as the shell would, and
// deletes the film.
void Finish(FilmRead read, const char* after) {
    ExpectOnlySegmentFiles(*read.film, after);
    read.film.reset();
    ExpectNothingLeft(after);
    if (read.failure)
        std::rethrow_exception(read.failure);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DiscardMessages();
    const std::string path = fuzz::PrivateDir() + "film.qxf";
    fuzz::WriteInput(path, data, size);

    // A table in front of the film replaces the message texts, so the
    // messages of this load are formatted from texts of the input.
    if (ReadAppendedLanguageTable(path)) {
        ApplyMessageTexts();
        ApplyCaptionTexts();
    }

    try {
        FileStream stream(path, kModeReadShared);
        Finish(LoadAppendedFilm(stream, WorkDirectory::Create(Temp())), "the appended film");
        stream.SetPosition(0);
        Finish(ReadFilm(stream, WorkDirectory::Create(Temp())), "the film from its start");
    } catch (const Error&) {
        // A short film, a full disk: the load ends, the shell shows the text.
        ExpectNothingLeft("a refused film");
    } catch (const CabinetError&) {
        ExpectNothingLeft("a cabinet error");
    } catch (const std::exception& e) {
        // Anything else (an allocation sized from the film) is a finding.
        std::fprintf(stderr, "unexpected exception from the film load: %s\n", e.what());
        abort();
    }

    Texts().LanguageTable = std::string();
    SetDefaultTexts();
    return 0;
}
