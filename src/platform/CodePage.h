#pragma once
// Segment titles and the language table are bytes of a Windows code page.
// They are turned into UTF-8 for display here.
#include <string>

namespace movarel {

// Text that is valid UTF-8 already stays as it is. Otherwise the bytes are
// read in the code page named by MOVAREL_CODEPAGE ("1251", "CP1251",
// "WINDOWS-1251" ...), else Windows-1251 for Cyrillic locales (ru, uk, be,
// bg, sr, mk), else Windows-1252. A byte the code page does not define
// becomes U+FFFD.
std::string DecodeAnsi(const std::string& bytes);

// Whether bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(const std::string& bytes);

// The iconv name of the code page DecodeAnsi uses for non-UTF-8 text.
std::string AnsiCodePageName();

}  // namespace movarel
