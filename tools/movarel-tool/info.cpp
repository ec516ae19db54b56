// movarel-tool info FILM [--from-start]: loads FILM as the player would, into
// a fresh work directory, and prints what it holds as one JSON object.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "MessageWatch.h"
#include "film/FilmReader.h"
#include "film/Film.h"
#include "film/TextFormat.h"
#include "platform/Texts.h"
#include "platform/CodePage.h"
#include "platform/UserMessages.h"
#include "platform/WorkDirectory.h"

namespace movarel::tool {
namespace {

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

// Any text from a film may be in a code page; JSON needs UTF-8.
std::string Text(const std::string& bytes) { return JsonString(DecodeAnsi(bytes)); }

std::string SegmentJson(const Film& film, int32_t index, const Segment& s) {
    std::string o = "{";
    auto field = [&](const char* name, const std::string& value) {
        if (o.size() > 1)
            o += ", ";
        o += JsonString(name) + ": " + value;
    };
    field("index", std::to_string(index));
    field("version", std::to_string(film.SegmentVersion(index)));
    field("width", std::to_string(s.Width));
    field("height", std::to_string(s.Height));
    field("bits_per_pixel", std::to_string(s.BitsPerPixel));
    field("fps", std::to_string(s.Fps));
    field("flags", std::to_string(s.Flags));
    field("frame_count", std::to_string(s.FrameCount));
    field("cursor_count", std::to_string(s.Cursors.Count()));
    field("title", Text(s.Title));
    field("frame_stream_bytes", std::to_string(s.FrameStream ? s.FrameStream->Length() : 0));
    field("cursor_track_bytes", std::to_string(s.CursorTrack.size()));
    field("extra_bytes", std::to_string(s.ExtraSize));
    field("sound_file", (!s.SoundFileName.empty() && FileExists(s.SoundFileName)) ? "true" : "false");
    return o + "}";
}

int Info(const std::vector<std::string>& args) {
    std::string path;
    bool fromStart = false;
    for (const std::string& a : args) {
        if (a == "--from-start")
            fromStart = true;
        else if (path.empty())
            path = a;
        else {
            std::fprintf(stderr, "movarel-tool info: unexpected argument '%s'\n", a.c_str());
            return 2;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "usage: movarel-tool info FILM [--from-start]\n");
        return 2;
    }

    MessageWatch messages(false);
    WorkDirectory work = WorkDirectory::Create(GetTempPath());
    if (work.Path().empty()) {
        std::fprintf(stderr, "movarel-tool info: cannot create a work directory in %s\n", GetTempPath().c_str());
        return 1;
    }

    bool loaded = false;
    // The film owns the work directory: its files and the directory go with it.
    std::unique_ptr<Film> read;
    try {
        // From offset 0 as the open dialog does, or through the trailer as
        // for a film named on the command line.
        std::unique_ptr<FileStream> film;
        try {
            film = std::make_unique<FileStream>(path, fromStart ? kModeRead : kModeReadShared);
        } catch (const Error&) {
            ShowMessage(FormatText(Texts().CannotOpenFileFmt, {path}), Texts().Error, MsgIcon::Error,
                        MsgOwner::MainWindow);
        }
        if (film) {
            FilmRead result = fromStart ? ReadFilm(*film, std::move(work)) : LoadAppendedFilm(*film, std::move(work), true);
            read = std::move(result.film);
            loaded = result.isFilm;
            if (result.failure)
                std::rethrow_exception(result.failure);
        }
    } catch (const std::exception& e) {
        // What the main window's handler shows for an exception of the load.
        ShowMessage(e.what(), Texts().Error, MsgIcon::Error, MsgOwner::MainWindow);
        loaded = false;
    }

    const Film empty;
    const Film& film = read ? *read : empty;
    std::string out = "{\"segments\": [";
    for (int32_t i = 0; i < film.Count(); ++i) {
        if (i > 0)
            out += ", ";
        out += SegmentJson(film, i, *film.Items(i));
    }
    out += "], \"warning\": " + JsonString(film.Warning()) + ", \"messages\": [";
    const std::vector<MessageRequest>& shown = messages.Shown();
    for (size_t i = 0; i < shown.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += "{\"caption\": " + JsonString(shown[i].caption) + ", \"text\": " + JsonString(shown[i].text) + "}";
    }
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
    // A load that failed says why where a script's user looks, one line each.
    if (!loaded) {
        for (const MessageRequest& m : shown) {
            std::string lines = m.text;
            std::replace(lines.begin(), lines.end(), '\r', '\n');
            while (!lines.empty() && lines.back() == '\n')
                lines.pop_back();
            std::fprintf(stderr, "movarel-tool info: %s\n", lines.c_str());
        }
    }
    // A segment refused as damaged is a film that could not be read whole,
    // though the rest of it loaded.
    return loaded && !messages.SawError() ? 0 : 1;
}

const CommandRegistrar kInfo("info", "info FILM [--from-start]", Info);

}  // namespace
}  // namespace movarel::tool
