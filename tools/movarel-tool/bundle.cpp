// movarel-tool bundle: makes a self-playing film, the player's executable
// with a language table and a film appended, each followed by its length.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "Commands.h"

namespace movarel::tool {
namespace {

using Bytes = std::vector<uint8_t>;

bool ReadWhole(const std::string& path, Bytes& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void PutLength(Bytes& out, size_t length) {
    const uint32_t v = static_cast<uint32_t>(length);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::string DirOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string SelfPath() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

// The player installed next to this tool, or the one of the build tree.
std::string FindPlayer() {
    const std::string dir = DirOf(SelfPath());
    for (const std::string& candidate : {dir + "/movarel", dir + "/../movarel", dir + "/../../movarel"})
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    return std::string();
}

// The player ends a table line at CR (a LF after it is skipped), so a
// table written with Unix line ends would read as one long line: a LF
// alone becomes CR LF.
Bytes WithCrLf(const Bytes& table) {
    Bytes out;
    out.reserve(table.size() + table.size() / 16);
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i] == '\n' && (i == 0 || table[i - 1] != '\r'))
            out.push_back('\r');
        out.push_back(table[i]);
    }
    return out;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "movarel-tool bundle: %s\n", message.c_str());
    return 1;
}

int Bundle(const std::vector<std::string>& args) {
    std::string film, out, table, player;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--out" && hasValue)
            out = args[++i];
        else if (a == "--language" && hasValue)
            table = args[++i];
        else if (a == "--player" && hasValue)
            player = args[++i];
        else if (film.empty() && !a.empty() && a[0] != '-')
            film = a;
        else
            return Fail("unexpected argument '" + a + "'");
    }
    if (film.empty() || out.empty()) return Fail("usage: bundle FILM --out FILE [--language TABLE] [--player PATH]");
    if (player.empty()) player = FindPlayer();
    if (player.empty()) return Fail("cannot find the player next to movarel-tool; name it with --player");

    Bytes exe, filmFile, tableBytes;
    if (!ReadWhole(player, exe)) return Fail("cannot read the player " + player);
    if (!ReadWhole(film, filmFile)) return Fail("cannot read the film " + film);
    if (!table.empty() && !ReadWhole(table, tableBytes)) return Fail("cannot read the language table " + table);
    tableBytes = WithCrLf(tableBytes);

    // A film file is the film followed by its length; the length must match.
    if (filmFile.size() < 8) return Fail(film + " is not a film file");
    const size_t filmSize = filmFile.size() - 4;
    uint32_t stored = 0;
    for (int i = 0; i < 4; ++i) stored |= uint32_t{filmFile[filmSize + i]} << (8 * i);
    if (stored != filmSize) return Fail(film + " is not a film file (its length does not match)");
    constexpr size_t kMax = static_cast<size_t>(std::numeric_limits<int32_t>::max());
    if (tableBytes.size() > kMax || exe.size() + tableBytes.size() + filmFile.size() + 8 > kMax)
        return Fail("the self-playing film would exceed 2 GiB");

    Bytes result = exe;
    result.insert(result.end(), tableBytes.begin(), tableBytes.end());
    PutLength(result, tableBytes.size());
    result.insert(result.end(), filmFile.begin(), filmFile.begin() + static_cast<std::ptrdiff_t>(filmSize));
    PutLength(result, filmSize);

    const std::string temp = out + ".part";
    {
        std::ofstream o(temp, std::ios::binary | std::ios::trunc);
        if (!o) return Fail("cannot write " + out);
        o.write(reinterpret_cast<const char*>(result.data()), static_cast<std::streamsize>(result.size()));
        o.close();
        if (!o) {
            std::remove(temp.c_str());
            return Fail("cannot write " + out);
        }
    }
    if (chmod(temp.c_str(), 0755) != 0 || std::rename(temp.c_str(), out.c_str()) != 0) {
        std::remove(temp.c_str());
        return Fail("cannot write " + out);
    }
    std::printf("%s: %zu bytes (player %zu, language table %zu, film %zu)\n", out.c_str(), result.size(),
                exe.size(), tableBytes.size(), filmSize);
    return 0;
}

CommandRegistrar registrar("bundle", "bundle FILM --out FILE [--language TABLE] [--player PATH]", Bundle);

}  // namespace
}  // namespace movarel::tool
