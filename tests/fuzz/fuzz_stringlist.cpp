// The language table's parsing and lookups: text lines from a file appended
// to the player, translated texts looked up by every key the player knows,
// and format texts filled with arguments.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "film/LanguageTable.h"
#include "film/TextFormat.h"
#include "platform/Texts.h"
#include "film/Streams.h"

using namespace movarel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DiscardMessages();
    StringList list;
    list.SetText(reinterpret_cast<const char*>(data), static_cast<int32_t>(size));
    static const char* keys[] = {"Error", "Warning", "InvalidVersionFormat", "CannotReadFile",
                                 "WrongDisplaySettings", "Play", "", "=", "x"};
    for (const char* key : keys) {
        std::string value = list.Values(key);
        std::string translated = "Default %d";
        TranslateText(key, translated, &list);
        for (const std::string* format : {&value, &translated}) {
            try {
                FormatText(*format, {int64_t{2}, std::string("film.qxf")});
            } catch (const Error&) {
            }
        }
    }
    for (const std::string& key : CaptionKeys()) {
        std::string caption;
        TranslateText(key, caption, &list);
    }
    // The same bytes as the process's table: the message texts and captions.
    Texts().LanguageTable = std::string(reinterpret_cast<const char*>(data), size);
    ApplyMessageTexts();
    ApplyCaptionTexts();
    Texts().LanguageTable = std::string();
    SetDefaultTexts();

    for (int32_t i = -1; i <= list.Count(); ++i)
        list.Get(i);
    list.Delete(0);
    return 0;
}
