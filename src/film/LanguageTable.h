#pragma once
// The language table appended to the player's file: Key = Value lines in a
// Windows code page that replace the built-in texts and captions.
#include <string>
#include <utility>
#include <vector>

#include "film/qxClasses.h"

namespace movarel {

// Reads the table in front of the appended film of exePath into the
// process's table buffer. False (no table) when L <= 0 or when F or L do not
// fit the file.
bool ReadAppendedLanguageTable(const std::string& exePath);

// The table buffer of the process; empty when there is none.
const std::string& LanguageTableBuffer();
bool HasLanguageTable();
// Replaces the buffer (tests, and a shell that read the table itself).
void SetLanguageTableBuffer(const std::string& table);

// Replaces text with the value of key when the list has a non-empty one.
void TranslateText(const std::string& key, std::string& text, const TqxStringList* list);

// The eleven message texts from the table buffer, values decoded to UTF-8;
// a missing or empty value keeps the current text.
void ApplyMessageTexts();

// The caption keys in the order the main window looks them up.
const std::vector<std::string>& CaptionKeys();

// Each caption key with its looked-up value from the table buffer, decoded
// to UTF-8, empty when missing. Empty when there is no table.
std::vector<std::pair<std::string, std::string>> LookUpCaptions();

}  // namespace movarel
