#pragma once
// Segment titles and the language table are bytes of a Windows code page.
// They are turned into UTF-8 for display here.
#include <string>

namespace movarel {

// Text that is valid UTF-8 already stays as it is. Otherwise the bytes are
// read in the code page named by MOVAREL_CODEPAGE ("1251", "CP1251",
// "WINDOWS-1251" ...), else in the one DetectCodePage finds for them. A byte
// the code page does not define becomes U+FFFD.
std::string DecodeAnsi(const std::string& bytes);
// The same, with the code page found for sample, the whole text the bytes
// were taken from (a language table's value is read in the table's page).
std::string DecodeAnsi(const std::string& bytes, const std::string& sample);

// Whether bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(const std::string& bytes);

// The iconv name of the code page non-UTF-8 text is read in when nothing in
// the text decides: MOVAREL_CODEPAGE if it names one, else Windows-1251 for
// Cyrillic locales (ru, uk, be, bg, sr, mk), else Windows-1252.
std::string AnsiCodePageName();

// The iconv name of the code page bytes are most likely written in: one of
// CP1251, CP1252 and CP866, or AnsiCodePageName() when the bytes leave it
// open. MOVAREL_CODEPAGE, when it names a code page, wins.
std::string DetectCodePage(const std::string& bytes);

}  // namespace movarel
