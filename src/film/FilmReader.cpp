#include "film/FilmReader.h"

#include <algorithm>
#include <climits>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "film/LzmaPack.h"
#include "film/CabinetPack.h"
#include "film/Film.h"
#include "film/TextFormat.h"
#include "platform/Texts.h"
#include "platform/Cabinet.h"
#include "platform/LittleEndian.h"
#include "platform/UserMessages.h"

namespace movarel {

namespace {

constexpr int32_t kHeaderSize = 54;
constexpr int32_t kMaxTitleField = 256;
constexpr int32_t kSmallestCursorRecord = 34;
// The largest record a drawable shape can have: a 256 x 512 mono mask or a
// 256 x 256 mask with 32-bit colour, each with a little row slack.
constexpr int64_t kLargestCursorRecord = 34 + (32 * 512 + 4) + (256 * 4 * 256 + 4);


std::string DamagedFilm(const std::string& why) { return DamagedFilmText(why); }

void TellNotAFilm(const Stream& stream) {
    ShowMessage(NotAFilmText(stream.Name()), Texts().Error, MsgIcon::Error, MsgOwner::MainWindow);
}

bool ReadFully(Stream& s, void* buffer, int32_t count) { return s.Read(buffer, count) == count; }

bool StartsWithCabinetSignature(const std::string& path) {
    FileStream file(path, kModeRead);
    char signature[4] = {};
    return file.Read(signature, 4) == 4 && std::memcmp(signature, "MSCF", 4) == 0;
}

struct SegmentHeader {
    uint8_t version;
    int32_t width, height;
    uint8_t bitsPerPixel;
    float frameRate;
    uint32_t flags;
    int32_t frameCount, cursorCount, cursorTrackSize, extraSize, frameDataSize;
    int32_t packSize, packOffset, soundSize, soundOffset;
};

SegmentHeader ParseHeader(const uint8_t* h) {
    SegmentHeader r;
    r.version = h[0];
    r.width = ReadI32LE(h + 1);
    r.height = ReadI32LE(h + 5);
    r.bitsPerPixel = h[9];
    r.frameRate = ReadF32LE(h + 10);
    r.flags = ReadU32LE(h + 14);
    r.frameCount = ReadI32LE(h + 18);
    r.cursorCount = ReadI32LE(h + 22);
    r.cursorTrackSize = ReadI32LE(h + 26);
    r.extraSize = ReadI32LE(h + 30);
    r.frameDataSize = ReadI32LE(h + 34);
    r.packSize = ReadI32LE(h + 38);
    r.packOffset = ReadI32LE(h + 42);
    r.soundSize = ReadI32LE(h + 46);
    r.soundOffset = ReadI32LE(h + 50);
    return r;
}

// Why a header cannot be read safely, or empty.
std::string CheckHeader(const SegmentHeader& h, int64_t segmentStart, int64_t containerEnd) {
    if (h.width < 0 || h.height < 0)
        return "has a negative frame size";
    if (h.frameCount < 0 || h.cursorCount < 0 || h.cursorTrackSize < 0 || h.extraSize < 0 ||
        h.frameDataSize < 0 || h.packSize < 0 || h.soundSize < 0)
        return "has a negative count or size";
    auto inside = [&](int32_t offset, int32_t size) {
        int64_t start = segmentStart + offset;
        return start >= 0 && start + size <= containerEnd;
    };
    if (h.packSize > 0 && !inside(h.packOffset, h.packSize))
        return "has a pack that reaches beyond the film";
    if (h.soundSize > 0 && !inside(h.soundOffset, h.soundSize))
        return "has sound that reaches beyond the film";
    return std::string();
}

// A refused segment: the reason goes into the damage text, the load goes on.
struct SegmentDamaged {
    std::string why;
};

// The files a segment load creates besides the record's own, deleted when the
// segment is done with (or fails).
struct LoadScratch {
    std::string packFile;
    std::string dataFile;
    // A cabinet is extracted into a folder of its own: what it writes is
    // decided by the decoder, not by our reading of its file table (the two
    // disagree on a cabinet whose file-table offset lies), and a set may pull
    // in files of further cabinets. Removing the folder removes all of it,
    // whatever the names, and no name can meet a file of the player's.
    std::string unpackDir;

    ~LoadScratch() {
        if (!packFile.empty())
            ::unlink(packFile.c_str());
        if (!dataFile.empty())
            ::unlink(dataFile.c_str());
        if (!unpackDir.empty()) {
            // remove_all deletes links themselves, never what they point at.
            std::error_code ignored;
            std::filesystem::remove_all(unpackDir, ignored);
        }
    }
};

// A new, empty folder in the work directory, mode 0700. mkdir never follows
// a link, so a name planted in the way is passed over.
std::string MakeUnpackDir(const std::string& workPath) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string name = MakeTempFileName("~cab", workPath, "qxS_");
        if (::mkdir(name.c_str(), 0700) == 0)
            return name + "/";
        if (errno != EEXIST)
            throw Error("Cannot create folder " + name);
    }
    throw Error("Cannot create a folder in " + workPath);
}

// The most a segment's pack may unpack to: the data file its header
// describes, with the largest shapes its cursor count allows.
int64_t UnpackedSizeLimit(const SegmentHeader& h) {
    int64_t limit = 4 + kMaxTitleField + static_cast<int64_t>(h.cursorCount) * kLargestCursorRecord +
                    h.frameDataSize + h.cursorTrackSize + h.extraSize;
    return std::min<int64_t>(limit, INT32_MAX);
}

// The frame stream is nearly all of a data file: rather than copying it out,
// the data file itself becomes the segment's frame-stream file, seen through
// a window on the frame stream. False, with a new empty frame-stream file in
// its place, when the data file cannot be moved.
bool TakeFrameStreamInPlace(Segment& seg, const std::string& dataFile, int32_t start, int32_t length) {
    // Renaming over an existing file makes ext4 write the moved file out at
    // once (its guard for replace-by-rename), which costs more than the copy
    // saved; with the segment's empty file gone first, the rename is a move.
    seg.FrameStream.reset();
    ::unlink(seg.FrameFileName.c_str());
    if (::rename(dataFile.c_str(), seg.FrameFileName.c_str()) != 0) {
        seg.FrameStream = std::make_unique<FileStream>(seg.FrameFileName, kModeCreate);
        return false;
    }
    auto moved = std::make_unique<FileStream>(seg.FrameFileName, kModeRead);
    moved->Restrict(start, length);
    seg.FrameStream = std::move(moved);
    return true;
}

void ReadDataFile(Segment& seg, const SegmentHeader& h, const std::string& dataFile) {
    FileStream data(dataFile, kModeRead);
    int64_t size = data.GetSize();
    uint8_t word[4];
    if (!ReadFully(data, word, 4))
        throw SegmentDamaged{"has a data file without a title"};
    int32_t n = ReadI32LE(word);
    if (n < 0 || n > kMaxTitleField)
        throw SegmentDamaged{"has a title field of " + std::to_string(static_cast<uint32_t>(n)) + " bytes"};
    uint8_t title[kMaxTitleField];
    if (n > 0 && !ReadFully(data, title, n))
        throw SegmentDamaged{"has a title that is cut short"};
    if (n > 0)
        seg.Title.assign(reinterpret_cast<const char*>(title + 1), std::min<int32_t>(title[0], n - 1));

    int64_t remaining = size - data.GetPosition();
    if (static_cast<int64_t>(h.cursorCount) * kSmallestCursorRecord > remaining)
        throw SegmentDamaged{"has more cursor shapes than its data file holds"};
    try {
        for (int32_t i = 0; i < h.cursorCount; ++i) {
            auto shape = std::make_unique<CursorShape>();
            shape->LoadFromFile(data);  // a refused shape still moves the file on
            seg.Cursors.Add(std::move(shape));
        }
    } catch (const Error&) {
        throw SegmentDamaged{"has cursor shapes that are cut short"};
    }
    const int32_t frameStart = data.GetPosition();
    remaining = size - frameStart;
    if (static_cast<int64_t>(h.frameDataSize) + h.cursorTrackSize + h.extraSize > remaining)
        throw SegmentDamaged{"has a data file shorter than its sizes"};
    // The cursor track follows the frame stream; playback reads it from
    // memory. The extra block after it is not used, so it is not read.
    data.SetPosition(frameStart + h.frameDataSize);
    if (h.cursorTrackSize > 0) {
        seg.CursorTrack.resize(static_cast<size_t>(h.cursorTrackSize));
        data.ReadBuffer(seg.CursorTrack.data(), h.cursorTrackSize);
    }
    seg.ExtraSize = h.extraSize;
    if (h.frameDataSize > 0 && !TakeFrameStreamInPlace(seg, dataFile, frameStart, h.frameDataSize)) {
        data.SetPosition(frameStart);
        seg.FrameStream->CopyFrom(data, h.frameDataSize);
    }
}

enum class SegmentOutcome { Added, Refused, StopLoad };

}  // namespace

// Reads a stream into a film; friend of Film, which it fills.
class FilmReader {
public:
    explicit FilmReader(Film& into) : film(into), work(into.WorkPath()) {}
    bool Read(Stream& stream);

private:
    SegmentOutcome ReadSegment(Stream& source, const SegmentHeader& h, int64_t segmentStart, int32_t place);

    Film& film;
    const std::string& work;
    std::string damage;  // damaged segments, shown together at the end
};

SegmentOutcome FilmReader::ReadSegment(Stream& source, const SegmentHeader& h, int64_t segmentStart,
                                       int32_t place) {
    Segment* seg = film.Add();
    LoadScratch scratch;
    try {
        seg->Width = h.width;
        seg->Height = h.height;
        seg->BitsPerPixel = h.bitsPerPixel;
        seg->Flags = h.flags;
        seg->FrameCount = h.frameCount;
        seg->Fps = FpsFromRate(h.frameRate);

        std::string cabDataFile;
        scratch.packFile = MakeTempFileName("cab", work, "qxS_");
        {
            FileStream pack(scratch.packFile, kModeCreate);
            if (h.packSize > 0) {
                source.SetPosition(static_cast<int32_t>(segmentStart + h.packOffset));
                pack.CopyFrom(source, h.packSize);
            }
        }

        switch (seg->Packing()) {
            case SegmentPacking::Cabinet: {
                CabinetReader reader;
                std::vector<std::string> names;
                const bool listed =
                    reader.ListFiles(scratch.packFile, [&](CabinetReader&, const std::string& name, int32_t, bool&,
                                                           uint16_t, uint16_t, uint16_t, uint16_t) {
                        names.push_back(name);
                    });
                // A pack that is no cabinet at all leaves the segment empty;
                // one that says it is a cabinet but cannot be read is damage,
                // not an empty recording.
                if (!listed && StartsWithCabinetSignature(scratch.packFile))
                    throw SegmentDamaged{"has a cabinet that is damaged or cut short"};
                if (names.empty())
                    break;
                for (const std::string& name : names)
                    if (cab::SafeRelativePath(name).empty())
                        throw SegmentDamaged{"has a pack with an unsafe file name"};
                scratch.unpackDir = MakeUnpackDir(work);
                cab::ExtractResult unpacked =
                    reader.Extract(scratch.packFile, scratch.unpackDir, 0, UnpackedSizeLimit(h));
                if (unpacked.tooLarge > 0)
                    throw SegmentDamaged{"has a cabinet that unpacks to more than the segment's sizes allow"};
                if (unpacked.noSpace > 0)
                    throw Error("There is not enough free space to unpack segment " + std::to_string(place) +
                                   " into " + work);
                if (!unpacked.writeFailed.empty())
                    throw Error("Cannot write file " + unpacked.writeFailed);
                // The data file is the last one listed, when the decoder
                // wrote it; otherwise the segment has none.
                const std::string wanted = cab::SafeRelativePath(names.back());
                if (std::find(unpacked.files.begin(), unpacked.files.end(), wanted) != unpacked.files.end())
                    cabDataFile = scratch.unpackDir + wanted;
                else if (unpacked.failed > 0)
                    throw SegmentDamaged{"has a cabinet that is damaged or cut short"};
                break;
            }
            case SegmentPacking::Lzma: {
                std::string error;
                LzmaUnpackResult r =
                    UnpackLzmaPack(scratch.packFile, work, UnpackedSizeLimit(h), scratch.dataFile, error);
                if (r == LzmaUnpackResult::NoDecoder)
                    return SegmentOutcome::StopLoad;
                if (r == LzmaUnpackResult::Failed)
                    throw SegmentDamaged{error};
                break;
            }
            case SegmentPacking::Unknown:
                break;  // the segment stays empty
        }
        ::unlink(scratch.packFile.c_str());
        scratch.packFile.clear();

        const std::string dataFile = !scratch.dataFile.empty() ? scratch.dataFile : cabDataFile;
        if (!dataFile.empty() && FileExists(dataFile))
            ReadDataFile(*seg, h, dataFile);

        if (h.soundSize > 0 && seg->SoundKind() == kSoundKindMp3) {
            seg->SoundFileName = MakeTempFileName("mp3", work, "qxS_");
            FileStream sound(seg->SoundFileName, kModeCreate);
            source.SetPosition(static_cast<int32_t>(segmentStart + h.soundOffset));
            sound.CopyFrom(source, h.soundSize);
        }
        return SegmentOutcome::Added;
    } catch (const SegmentDamaged& d) {
        film.DeleteLast();
        damage += DamagedFilm("segment " + std::to_string(place) + " " + d.why) + "\r";
        return SegmentOutcome::Refused;
    } catch (...) {
        film.DeleteLast();
        throw;
    }
}

uint8_t FpsFromRate(float rate) {
    if (!std::isfinite(rate))
        return 0;
    double r = std::nearbyint(static_cast<double>(rate));  // the default mode rounds halves to even
    if (r < static_cast<double>(INT32_MIN) || r > static_cast<double>(INT32_MAX))
        return 0;
    return static_cast<uint8_t>(static_cast<uint32_t>(static_cast<int32_t>(r)) & 0xFF);
}

bool FilmReader::Read(Stream& stream) {
    std::string& warning = film.warning;
    int64_t filmStart = stream.GetPosition();
    int64_t end = stream.GetSize();
    auto damaged = [](const std::string& why) {
        ShowMessage(DamagedFilm(why), Texts().Error, MsgIcon::Error, MsgOwner::MainWindow);
        return false;
    };
    if (filmStart < 0)
        return false;

    uint8_t word[4];
    const int32_t got = stream.Read(word, 4);
    // Nothing at all (an empty file, a folder) is no film; a few bytes are
    // what is left of one.
    if (got <= 0) {
        TellNotAFilm(stream);
        return false;
    }
    if (got != 4)
        return damaged("its segment count is cut short");
    int32_t count = ReadI32LE(word);
    // The format has no signature: a file of other bytes shows itself by a
    // count of no segments, or a directory that names none.
    if (count <= 0) {
        TellNotAFilm(stream);
        return false;
    }
    const int32_t countBefore = film.Count();
    if (static_cast<int64_t>(count) * 6 > end - filmStart - 4)
        return damaged("its directory is cut short");
    std::vector<uint8_t> directory(static_cast<size_t>(count) * 6);
    if (!ReadFully(stream, directory.data(), count * 6))
        return damaged("its directory is cut short");

    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* entry = directory.data() + static_cast<size_t>(i) * 6;
        int16_t kind = ReadI16LE(entry + 4);
        if (kind != 1)
            continue;
        int64_t segmentStart = filmStart + ReadI32LE(entry);
        std::string where = "segment " + std::to_string(i + 1);
        uint8_t raw[kHeaderSize];
        if (segmentStart < 0 || segmentStart + kHeaderSize > end) {
            damage += DamagedFilm(where + " has its header outside the film") + "\r";
            continue;
        }
        stream.SetPosition(static_cast<int32_t>(segmentStart));
        if (!ReadFully(stream, raw, kHeaderSize)) {
            damage += DamagedFilm(where + " has a header that is cut short") + "\r";
            continue;
        }
        SegmentHeader h = ParseHeader(raw);
        if (h.version > 1) {
            warning += FormatText(Texts().InvalidVersionFormat, {int64_t{i + 1}});
            continue;
        }
        std::string why = CheckHeader(h, segmentStart, end);
        if (!why.empty()) {
            damage += DamagedFilm(where + " " + why) + "\r";
            continue;
        }
        SegmentOutcome outcome = ReadSegment(stream, h, segmentStart, i + 1);
        if (outcome != SegmentOutcome::Refused)
            film.versions.push_back(h.version);
        if (outcome == SegmentOutcome::StopLoad)
            return false;
    }

    if (film.Count() == countBefore && damage.empty() && warning.empty()) {
        TellNotAFilm(stream);
        return false;
    }
    if (!damage.empty())
        ShowMessage(damage, Texts().Error, MsgIcon::Error, MsgOwner::MainWindow);
    if (!warning.empty())
        ShowMessage(warning, Texts().Warning, MsgIcon::Warning, MsgOwner::MainWindow);
    return true;
}

FilmRead ReadFilm(Stream& stream, WorkDirectory directory) {
    FilmRead read;
    read.film = std::make_unique<Film>(std::move(directory));
    try {
        read.isFilm = FilmReader(*read.film).Read(stream);
    } catch (...) {
        read.failure = std::current_exception();
    }
    return read;
}

FilmRead LoadAppendedFilm(Stream& stream, WorkDirectory directory, bool named) {
    auto nothingAppended = [&] {
        if (named)
            TellNotAFilm(stream);
        FilmRead none;
        none.film = std::make_unique<Film>(std::move(directory));
        return none;
    };
    int64_t size = stream.GetSize();
    if (size < 4)
        return nothingAppended();
    stream.SetPosition(static_cast<int32_t>(size - 4));
    uint8_t word[4];
    if (!ReadFully(stream, word, 4))
        return nothingAppended();
    int64_t f = ReadI32LE(word);
    if (f <= 0 || f > size - 4)
        return nothingAppended();  // a length larger than the file means nothing is appended
    stream.SetPosition(static_cast<int32_t>(size - f - 4));
    return ReadFilm(stream, std::move(directory));
}

std::string NotAFilmText(const std::string& name) { return FormatText(Texts().WrongFile, {name}); }

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

std::string OwnExecutablePath() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string FilmWindowCaption(const std::string& path, const std::string& ownExecutable) {
    return Lower(path) != Lower(ownExecutable) ? "Movarel - [" + path + "]" : std::string("Movarel");
}

}  // namespace movarel
