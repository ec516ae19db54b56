#include "platform/CodePage.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iconv.h>
#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <vector>

namespace movarel {

bool IsValidUtf8(const std::string& bytes) {
    size_t i = 0, n = bytes.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        for (size_t k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string NameFromSetting(const std::string& setting) {
    std::string s = Upper(setting);
    if (!s.empty() && std::isdigit(static_cast<unsigned char>(s[0])))
        return "CP" + s;
    return s;
}

bool CyrillicLocale() {
    // The variable that decides the language of messages, in POSIX order.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v == nullptr || *v == '\0')
            continue;
        std::string lang(v);
        for (const char* prefix : {"ru", "uk", "be", "bg", "sr", "mk"})
            if (lang.compare(0, 2, prefix) == 0 && (lang.size() == 2 || !std::isalpha(static_cast<unsigned char>(lang[2]))))
                return true;
        return false;
    }
    return false;
}

// Converts with iconv; a byte that cannot be converted becomes U+FFFD.
bool Convert(const std::string& from, const std::string& bytes, std::string& out) {
    iconv_t cd = ::iconv_open("UTF-8", from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    std::vector<char> buffer(bytes.size() * 4 + 16);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = buffer.data();
        size_t oLeft = buffer.size();
        size_t r = ::iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer.data(), static_cast<size_t>(o - buffer.data()));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            out += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    ::iconv_close(cd);
    return true;
}

// The code page MOVAREL_CODEPAGE names, or empty when it names none iconv knows.
std::string CodePageFromSetting() {
    const char* env = std::getenv("MOVAREL_CODEPAGE");
    if (env == nullptr || *env == '\0')
        return std::string();
    std::string name = NameFromSetting(env);
    iconv_t cd = ::iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string();
    ::iconv_close(cd);
    return name;
}

// Films are recorded on Windows, so their texts are in its Western or
// Cyrillic ANSI page or the Cyrillic DOS page. KOI8-R is left out on purpose:
// it has lower-case Cyrillic letters on the bytes of Windows-1251's upper
// case, so an upper-case title ("ПАУЗА") would read as a word in both.
constexpr std::array<const char*, 3> kCodePages = {"CP1251", "CP1252", "CP866"};

// uchardet's name for a page we read, or empty for any other answer (on a
// few bytes it names Greek, Hebrew or Thai pages too).
std::string PageOfDetectorName(const std::string& name) {
    const std::string n = Upper(name);
    if (n == "WINDOWS-1251")
        return "CP1251";
    if (n == "WINDOWS-1252" || n == "ISO-8859-1" || n == "ISO-8859-15")
        return "CP1252";
    if (n == "IBM866")
        return "CP866";
    return std::string();
}

std::string DetectorAnswer(const std::string& bytes) {
    uchardet_t detector = uchardet_new();
    if (detector == nullptr)
        return std::string();
    std::string answer;
    if (uchardet_handle_data(detector, bytes.data(), bytes.size()) == 0) {
        uchardet_data_end(detector);
        const char* name = uchardet_get_charset(detector);
        answer = name != nullptr ? name : "";
    }
    uchardet_delete(detector);
    return PageOfDetectorName(answer);
}

std::vector<char32_t> CodePoints(const std::string& utf8) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; k < len && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out.push_back(cp);
        i += len;
    }
    return out;
}

enum class Script { None, Latin, Cyrillic };

struct Letter {
    Script script = Script::None;
    bool upper = false;
};

Letter Classify(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || c == 0x152 || c == 0x160 ||
        c == 0x178 || c == 0x17D)
        return {Script::Latin, true};
    if ((c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7) || c == 0x153 || c == 0x161 ||
        c == 0x17E)
        return {Script::Latin, false};
    if ((c >= 0x400 && c <= 0x42F) || c == 0x490)
        return {Script::Cyrillic, true};
    if ((c >= 0x430 && c <= 0x45F) || c == 0x491)
        return {Script::Cyrillic, false};
    return {};
}

// Signs that turn up in titles and captions besides ASCII; every other
// character beyond ASCII is a sign of the wrong page (box drawing, U+FFFD,
// the currency sign, a soft hyphen ...).
bool CommonSign(char32_t c) {
    static constexpr char32_t kSigns[] = {0xA0,   0xA1,   0xA7,   0xA9,   0xAB,   0xAE,   0xB0,   0xB1,   0xB2,
                                          0xB3,   0xB7,   0xBB,   0xBC,   0xBD,   0xBE,   0xBF,   0x2013, 0x2014,
                                          0x2018, 0x2019, 0x201A, 0x201C, 0x201D, 0x201E, 0x2022, 0x2026, 0x20AC,
                                          0x2116, 0x2122};
    return c < 0x80 || std::find(std::begin(kSigns), std::end(kSigns), c) != std::end(kSigns);
}

// Serbian and Macedonian letters of Windows-1251: they sit on the bytes where
// DOS Russian has its lower-case letters, so there they mark the wrong page.
bool RareCyrillic(char32_t c) {
    return (c >= 0x402 && c <= 0x40F && c != 0x404 && c != 0x406 && c != 0x407 && c != 0x40E) ||
           (c >= 0x452 && c <= 0x45F && c != 0x454 && c != 0x456 && c != 0x457 && c != 0x45E);
}

bool CyrillicVowel(char32_t c) {
    static constexpr char32_t kVowels[] = {0x430, 0x435, 0x438, 0x43E, 0x443, 0x44B, 0x44D,
                                           0x44E, 0x44F, 0x451, 0x454, 0x456, 0x457};
    if (c >= 0x410 && c <= 0x42F)
        c += 0x20;
    else if (c >= 0x400 && c <= 0x40F)
        c += 0x50;
    return std::find(std::begin(kVowels), std::end(kVowels), c) != std::end(kVowels);
}

// ы, ь and ъ: never at the start of a Russian word, nor after a vowel.
bool HardOrSoft(char32_t c) {
    return c == 0x44B || c == 0x44C || c == 0x44A || c == 0x42B || c == 0x42C || c == 0x42A;
}

// How odd a word looks that holds a letter beyond ASCII: letters of two
// scripts, a case pattern other than "word", "Word" and "WORD", or a
// Cyrillic word that starts with ы, ь or ъ or has one after a vowel.
int WordOddness(const std::vector<char32_t>& word) {
    if (std::all_of(word.begin(), word.end(), [](char32_t c) { return c < 0x80; }))
        return 0;
    int odd = 0;
    const Script script = Classify(word.front()).script;
    if (std::any_of(word.begin(), word.end(), [&](char32_t c) { return Classify(c).script != script; }))
        ++odd;
    const bool allUpper = std::all_of(word.begin(), word.end(), [](char32_t c) { return Classify(c).upper; });
    const bool restLower =
        std::none_of(word.begin() + 1, word.end(), [](char32_t c) { return Classify(c).upper; });
    if (!allUpper && !restLower)
        ++odd;
    if (script == Script::Cyrillic) {
        if (HardOrSoft(word.front()))
            ++odd;
        for (size_t i = 1; i < word.size(); ++i)
            if (HardOrSoft(word[i]) && CyrillicVowel(word[i - 1]))
                ++odd;
    }
    return odd;
}

// What the bytes look like read in one code page.
struct Reading {
    int odd = 0;      // how unlike text: 0 for a text that could be real
    int letters = 0;  // letters beyond ASCII in words of two letters or more
};

// One point for each odd sign, each rare letter, each sign beyond ASCII
// wedged between two letters (but a space or an apostrophe: "€в®ЈЁ" is DOS
// Russian read as Windows-1251), each run of three characters beyond ASCII
// with no Cyrillic letter among them (Russian read as Windows-1252: "Ôàéë";
// "Größe" and "été" pass), and each odd word.
Reading Read(const std::string& page, const std::string& bytes) {
    Reading r;
    std::string utf8;
    if (!Convert(page, bytes, utf8)) {
        r.odd = INT32_MAX;
        return r;
    }
    const std::vector<char32_t> text = CodePoints(utf8);
    auto isLetter = [&](size_t i) { return i < text.size() && Classify(text[i]).script != Script::None; };
    std::vector<char32_t> word;
    size_t run = 0;
    bool runCyrillic = false;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char32_t c = i < text.size() ? text[i] : U' ';
        // Runs of characters beyond ASCII.
        if (c >= 0x80 && c != 0xA0) {
            ++run;
            runCyrillic = runCyrillic || Classify(c).script == Script::Cyrillic;
            if (run == 3 && !runCyrillic)
                ++r.odd;
        } else {
            run = 0;
            runCyrillic = false;
        }
        if (isLetter(i)) {
            word.push_back(c);
            r.odd += RareCyrillic(c) ? 1 : 0;
            continue;
        }
        if (!word.empty())
            r.odd += WordOddness(word);
        // A lone sign often reads as a lone letter in another page ("5 €"
        // as "5 А" in DOS Russian); such letters do not count.
        if (word.size() >= 2)
            r.letters += static_cast<int>(std::count_if(word.begin(), word.end(), [](char32_t l) { return l >= 0x80; }));
        word.clear();
        if (!CommonSign(c))
            ++r.odd;
        else if (c >= 0x80 && c != 0xA0 && c != 0x2019 && i > 0 && isLetter(i - 1) && isLetter(i + 1))
            ++r.odd;
    }
    return r;
}

}  // namespace

std::string AnsiCodePageName() {
    const std::string setting = CodePageFromSetting();
    if (!setting.empty())
        return setting;
    return CyrillicLocale() ? "CP1251" : "CP1252";
}

// Which page is trusted:
// - uchardet's answer, when the text has at least 16 bytes beyond ASCII and
//   the answer is a page we read that looks no odder than the others: its
//   letter statistics need that much text (on a word or two it names Greek
//   or Hebrew pages), and a whole language table has it;
// - else, of the pages that read as real text, the one that makes the most
//   letters of the bytes (DOS Russian read as Windows-1251 turns letters into
//   signs), which tells a short title's page;
// - else the locale's page when no page reads as real text, or when two
//   make the same letters ("Да" is a word in both Windows pages: "Äà") and
//   it is one of them; else the first of them, the Windows pages before
//   the DOS page.
std::string DetectCodePage(const std::string& bytes) {
    const std::string setting = CodePageFromSetting();
    if (!setting.empty())
        return setting;
    const long beyondAscii =
        std::count_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (beyondAscii == 0)
        return AnsiCodePageName();
    std::array<Reading, kCodePages.size()> readings{};
    for (size_t i = 0; i < kCodePages.size(); ++i)
        readings[i] = Read(kCodePages[i], bytes);
    const int least =
        std::min_element(readings.begin(), readings.end(), [](const Reading& a, const Reading& b) {
            return a.odd < b.odd;
        })->odd;
    if (beyondAscii >= 16) {
        const std::string answer = DetectorAnswer(bytes);
        for (size_t i = 0; i < kCodePages.size(); ++i)
            if (answer == kCodePages[i] && readings[i].odd == least)
                return answer;
    }
    if (least > 0)
        return AnsiCodePageName();
    int most = -1;
    std::vector<std::string> best;
    for (size_t i = 0; i < kCodePages.size(); ++i) {
        if (readings[i].odd != 0 || readings[i].letters < most)
            continue;
        if (readings[i].letters > most)
            best.clear();
        most = readings[i].letters;
        best.push_back(kCodePages[i]);
    }
    const std::string locale = AnsiCodePageName();
    return best.size() > 1 && std::find(best.begin(), best.end(), locale) != best.end() ? locale : best.front();
}

std::string DecodeAnsi(const std::string& bytes) { return DecodeAnsi(bytes, bytes); }

std::string DecodeAnsi(const std::string& bytes, const std::string& sample) {
    if (IsValidUtf8(bytes))
        return bytes;
    std::string out;
    if (Convert(DetectCodePage(IsValidUtf8(sample) ? bytes : sample), bytes, out))
        return out;
    // Without a converter keep the ASCII part readable.
    out.clear();
    for (char c : bytes)
        out += (static_cast<unsigned char>(c) < 0x80) ? std::string(1, c) : std::string("\xEF\xBF\xBD");
    return out;
}

}  // namespace movarel
