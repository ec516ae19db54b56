#include "platform/CodePage.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iconv.h>
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

}  // namespace

std::string AnsiCodePageName() {
    const char* env = std::getenv("MOVAREL_CODEPAGE");
    if (env != nullptr && *env != '\0') {
        std::string name = NameFromSetting(env);
        iconv_t cd = ::iconv_open("UTF-8", name.c_str());
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            ::iconv_close(cd);
            return name;
        }
    }
    return CyrillicLocale() ? "CP1251" : "CP1252";
}

std::string DecodeAnsi(const std::string& bytes) {
    if (IsValidUtf8(bytes))
        return bytes;
    std::string out;
    if (Convert(AnsiCodePageName(), bytes, out))
        return out;
    // Without a converter keep the ASCII part readable.
    out.clear();
    for (char c : bytes)
        out += (static_cast<unsigned char>(c) < 0x80) ? std::string(1, c) : std::string("\xEF\xBF\xBD");
    return out;
}

}  // namespace movarel
