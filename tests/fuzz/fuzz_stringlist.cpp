// The language table's parsing and lookups: text lines from a file appended
// to the player, and translated format texts filled with arguments.
#include <cstddef>
#include <cstdint>

#include "film/Texts.h"
#include "film/qxClasses.h"

using namespace movarel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TqxStringList list;
    list.SetText(reinterpret_cast<const char*>(data), static_cast<int32_t>(size));
    static const char* keys[] = {"Error", "Warning", "InvalidVersionFormat", "Play", "", "=", "x"};
    for (const char* key : keys) {
        std::string value = list.Values(key);
        try {
            FormatText(value, {int64_t{2}, std::string("film.qxf")});
        } catch (const EqxError&) {
        }
    }
    for (int32_t i = -1; i <= list.Count(); ++i)
        list.Get(i);
    list.Delete(0);
    return 0;
}
