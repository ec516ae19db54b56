#pragma once
// The language table appended to the player's file: Key = Value lines in a
// Windows code page that replace the built-in texts and captions
// (platform/Texts.h), read and parsed here.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "film/Streams.h"

namespace movarel {

// Reads the table in front of the appended film of exePath into the
// process's texts (Texts().LanguageTable). False (no table, and the texts'
// table emptied) when L <= 0 or when F or L do not fit the file.
bool ReadAppendedLanguageTable(const std::string& exePath);

// Replaces text with the value of key when the list has a non-empty one.
void TranslateText(const std::string& key, std::string& text, const StringList* list);

// The eleven message texts from the table, values decoded to UTF-8; a
// missing or empty value keeps the current text.
void ApplyMessageTexts();

// The menus' captions from the table, decoded to UTF-8: a missing value
// leaves the caption empty, except for the items added after the first
// tables (from SaveFrame on), which keep their English words. Nothing
// without a table.
void ApplyCaptionTexts();

// The caption keys in the order the main window looks them up; each one
// indexes CaptionKeys() and LookUpCaptions(). The menus name their captions
// by these, so the keys the player looks up are the ones listed here.
enum class CaptionKey : size_t {
    File, Actions, View, Help, Load, Properties, Exit,
    Play, Pause, Stop, Segments, Prev, Next, ShowPanel,
    FullScreen, About, Speed, Sound, Progress, ContextHelp, Close,
    SaveFrame, Recent,
    PlayPause, SeekBack, SeekForward, SeekBackMinute, SeekForwardMinute,
    FrameBack, FrameForward, FirstFrame, Slower, Faster,
    DropHint, Resumed, ResumeFilms,
};
constexpr size_t kCaptionKeyCount = static_cast<size_t>(CaptionKey::ResumeFilms) + 1;

// The keys' names in the table, in CaptionKey order.
const std::vector<std::string>& CaptionKeys();

// Each caption key with its looked-up value from the table, decoded
// to UTF-8, empty when missing, in CaptionKey order. Empty when there is no
// table.
std::vector<std::pair<std::string, std::string>> LookUpCaptions();

// The value of key in the result of LookUpCaptions; empty when it has none.
const std::string& CaptionValue(const std::vector<std::pair<std::string, std::string>>& captions, CaptionKey key);

}  // namespace movarel
