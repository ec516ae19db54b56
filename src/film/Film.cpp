#include "film/Film.h"

#include <algorithm>
#include <cctype>
#include <unistd.h>

namespace movarel {

Film::~Film() {
    for (auto& record : items)
        DeleteRecord(*record);
    items.clear();
    // The directory is the film's alone: whatever a failed read left in it
    // goes too.
    workDirectory.RemoveAll();
}

Segment* Film::Add() {
    auto record = std::make_unique<Segment>();
    try {
        std::string frameName = MakeTempFileName("~qxflm", WorkPath(), "qxS_");
        record->FrameStream = std::make_unique<FileStream>(frameName, kModeCreate);
        record->FrameFileName = frameName;
    } catch (...) {
        DeleteRecord(*record);
        throw;
    }
    items.push_back(std::move(record));
    return items.back().get();
}

const Segment* Film::Items(int32_t index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return items[static_cast<size_t>(index)].get();
}

Segment* Film::Items(int32_t index) {
    if (index < 0 || index >= Count())
        return nullptr;
    return items[static_cast<size_t>(index)].get();
}

void Film::DeleteRecord(Segment& record) {
    record.FrameStream.reset();
    record.CursorTrack.clear();
    record.Cursors.Clear();
    if (!record.FrameFileName.empty() && FileExists(record.FrameFileName))
        ::unlink(record.FrameFileName.c_str());
    if (!record.SoundFileName.empty() && FileExists(record.SoundFileName))
        ::unlink(record.SoundFileName.c_str());
}

void Film::DeleteLast() {
    if (items.empty())
        return;
    DeleteRecord(*items.back());
    items.pop_back();
}

uint8_t Film::SegmentVersion(int32_t index) const {
    return (index >= 0 && static_cast<size_t>(index) < versions.size()) ? versions[static_cast<size_t>(index)] : 0;
}

int GetSoundKind(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.find('/', dot) != std::string::npos)
        return 0;
    std::string ext = fileName.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".mp3")
        return kSoundKindMp3;
    if (ext == ".mid")
        return kSoundKindMidi;
    return kSoundKindWav;
}

}  // namespace movarel
