#include "film/LanguageTable.h"

#include <climits>
#include <cstring>
#include <iterator>
#include <memory>

#include "platform/CodePage.h"
#include "platform/LittleEndian.h"
#include "platform/Texts.h"

namespace movarel {

namespace {

bool ReadInt32At(FileStream& f, int64_t at, int32_t& value) {
    if (at < 0 || at > INT32_MAX)
        return false;
    f.SetPosition(static_cast<int32_t>(at));
    uint8_t w[4];
    if (f.Read(w, 4) != 4)
        return false;
    value = ReadI32LE(w);
    return true;
}

}  // namespace

bool ReadAppendedLanguageTable(const std::string& exePath) {
    std::string& table = Texts().LanguageTable;
    table.clear();
    std::unique_ptr<FileStream> f;
    try {
        f = std::make_unique<FileStream>(exePath, kModeReadShared);
    } catch (const Error&) {
        return false;
    }
    int64_t size = f->GetSize();
    int32_t filmLength = 0, tableLength = 0;
    if (!ReadInt32At(*f, size - 4, filmLength))
        return false;
    int64_t lengthAt = size - static_cast<int64_t>(filmLength) - 8;
    // A length larger than the file means nothing is appended.
    if (filmLength < 0 || lengthAt < 0 || !ReadInt32At(*f, lengthAt, tableLength))
        return false;
    if (tableLength <= 0 || tableLength > lengthAt)
        return false;
    std::string buffer(static_cast<size_t>(tableLength), '\0');
    f->SetPosition(static_cast<int32_t>(lengthAt - tableLength));
    if (f->Read(buffer.data(), tableLength) != tableLength)
        return false;
    table = std::move(buffer);
    return true;
}

void TranslateText(const std::string& key, std::string& text, const StringList* list) {
    if (key.empty() || list == nullptr)
        return;
    std::string value = list->Values(key);
    if (!value.empty())
        text = value;
}

void ApplyMessageTexts() {
    ShownTexts& t = Texts();
    if (!t.HasLanguageTable())
        return;
    StringList list;
    const std::string& b = t.LanguageTable;
    list.SetText(b.data(), static_cast<int32_t>(b.size()));
    const std::pair<const char*, std::string*> keys[] = {
        {"Error", &t.Error},
        {"Loading", &t.Loading},
        {"InvalidVersionFormat", &t.InvalidVersionFormat},
        {"Warning", &t.Warning},
        {"SegmentCountFmt", &t.SegmentCountFmt},
        {"WrongFile", &t.WrongFile},
        {"WrongDisplaySettings", &t.WrongDisplaySettings},
        {"CannotOpenFileFmt", &t.CannotOpenFileFmt},
        {"CannotCreateTempFile", &t.CannotCreateTempFile},
        {"VideoDecompressorError", &t.VideoDecompressorError},
        {"Segments", &t.Segments},
    };
    for (const auto& [key, text] : keys) {
        std::string value;
        TranslateText(key, value, &list);
        if (!value.empty())
            *text = DecodeAnsi(value, b);
    }
}

const std::vector<std::string>& CaptionKeys() {
    // In CaptionKey order.
    static constexpr const char* kNames[] = {
        "File", "Actions", "View", "Help", "Load", "Properties", "Exit",
        "Play", "Pause", "Stop", "Segments", "Prev", "Next", "ShowPanel",
        "FullScreen", "About", "Speed", "Sound", "Progress", "ContextHelp", "Close",
        "SaveFrame", "Recent",
        "PlayPause", "SeekBack", "SeekForward", "SeekBackMinute", "SeekForwardMinute",
        "FrameBack", "FrameForward", "FirstFrame", "Slower", "Faster",
        "DropHint", "Resumed", "ResumeFilms"};
    static_assert(std::size(kNames) == kCaptionKeyCount);
    static const std::vector<std::string> keys(std::begin(kNames), std::end(kNames));
    return keys;
}

std::vector<std::pair<std::string, std::string>> LookUpCaptions() {
    std::vector<std::pair<std::string, std::string>> out;
    if (!Texts().HasLanguageTable())
        return out;
    StringList list;
    const std::string& b = Texts().LanguageTable;
    list.SetText(b.data(), static_cast<int32_t>(b.size()));
    for (const std::string& key : CaptionKeys())
        out.emplace_back(key, DecodeAnsi(list.Values(key), b));
    return out;
}

void ApplyCaptionTexts() {
    if (!Texts().HasLanguageTable())
        return;
    const auto values = LookUpCaptions();
    CaptionTexts& c = Texts().Captions;
    using K = CaptionKey;
    const std::pair<K, std::string*> fields[] = {
        {K::File, &c.File},         {K::Actions, &c.Actions},       {K::View, &c.View},
        {K::Help, &c.Help},         {K::Load, &c.Load},             {K::Properties, &c.Properties},
        {K::Exit, &c.Exit},         {K::Play, &c.Play},             {K::Pause, &c.Pause},
        {K::Stop, &c.Stop},         {K::Segments, &c.Segments},     {K::Prev, &c.Prev},
        {K::Next, &c.Next},         {K::ShowPanel, &c.ShowPanel},   {K::FullScreen, &c.FullScreen},
        {K::About, &c.About},       {K::Speed, &c.Speed},           {K::Sound, &c.Volume},
        {K::Progress, &c.Progress}, {K::ContextHelp, &c.ContextHelp}, {K::Close, &c.Close}};
    for (const auto& [key, field] : fields) *field = CaptionValue(values, key);
    // Tables written before these items keep the English words.
    const std::pair<K, std::string*> later[] = {
        {K::SaveFrame, &c.SaveFrame},
        {K::Recent, &c.Recent},
        {K::PlayPause, &c.PlayPause},
        {K::SeekBack, &c.SeekBack},
        {K::SeekForward, &c.SeekForward},
        {K::SeekBackMinute, &c.SeekBackMinute},
        {K::SeekForwardMinute, &c.SeekForwardMinute},
        {K::FrameBack, &c.FrameBack},
        {K::FrameForward, &c.FrameForward},
        {K::FirstFrame, &c.FirstFrame},
        {K::Slower, &c.Slower},
        {K::Faster, &c.Faster},
        {K::DropHint, &c.DropHint},
        {K::Resumed, &c.Resumed},
        {K::ResumeFilms, &c.ResumeFilms}};
    for (const auto& [key, field] : later)
        if (const std::string& text = CaptionValue(values, key); !text.empty()) *field = text;
}

const std::string& CaptionValue(const std::vector<std::pair<std::string, std::string>>& captions, CaptionKey key) {
    static const std::string none;
    const size_t i = static_cast<size_t>(key);
    return i < captions.size() ? captions[i].second : none;
}

}  // namespace movarel
