#include "film/Film.h"

#include <algorithm>
#include <cctype>
#include <unistd.h>

namespace movarel {

Segment* TSegmentList::Add(const std::string& directory) {
    auto record = std::make_unique<Segment>();
    record->CursorTrack = std::make_unique<MemoryStream>();
    try {
        std::string frameName = MakeTempFileName("~qxflm", directory, "qxS_");
        record->FrameStream = std::make_unique<FileStream>(frameName, kModeCreate);
        record->FrameFileName = frameName;
    } catch (...) {
        DeleteRecord(*record);
        throw;
    }
    items.push_back(std::move(record));
    return items.back().get();
}

Segment* TSegmentList::Items(int32_t index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return items[static_cast<size_t>(index)].get();
}

void TSegmentList::DeleteRecord(Segment& record) {
    record.FrameStream.reset();
    record.CursorTrack.reset();
    record.Cursors.Clear();
    if (!record.FrameFileName.empty() && FileExists(record.FrameFileName))
        ::unlink(record.FrameFileName.c_str());
    if (!record.SoundFileName.empty() && FileExists(record.SoundFileName))
        ::unlink(record.SoundFileName.c_str());
}

void TSegmentList::Clear() {
    for (auto& record : items)
        DeleteRecord(*record);
    items.clear();
    items.shrink_to_fit();
    ++film;
}

void TSegmentList::DeleteLast() {
    if (items.empty())
        return;
    DeleteRecord(*items.back());
    items.pop_back();
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

TSegmentList& SegmentList() {
    static TSegmentList list;
    return list;
}

}  // namespace movarel
