#include "ProgressLine.h"

#include <algorithm>
#include <cstdio>

namespace movarel::tool {
namespace {

std::string Clock(double seconds) {
    const long long s = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

}  // namespace

ProgressLine::ProgressLine(int64_t total, bool shown)
    : total_(total), shown_(shown), start_(std::chrono::steady_clock::now()), lastDraw_(start_) {}

std::string ProgressLine::Text(int64_t done, int64_t total, double seconds) {
    // The total is worked out from the film's headers; a film that plays
    // longer than they say must not show more done than there is.
    total = std::max(total, done);
    std::string text = "frame " + std::to_string(done) + " of " + std::to_string(total) + ", " + Clock(seconds) +
                       " elapsed, ";
    if (done > 0)
        text += Clock(seconds * static_cast<double>(total - done) / static_cast<double>(done)) + " left";
    else
        text += "time left not known yet";
    return text;
}

void ProgressLine::Draw(int64_t done) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::string text = Text(done, total_, seconds);
    const size_t length = text.size();
    // Spaces over the end of a longer line before.
    if (length < lastLength_)
        text.append(lastLength_ - length, ' ');
    lastLength_ = length;
    std::fprintf(stderr, "\r%s", text.c_str());
    std::fflush(stderr);
}

void ProgressLine::Update(int64_t done) {
    if (!shown_ || finished_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < std::chrono::milliseconds(200) && lastLength_ > 0)
        return;
    lastDraw_ = now;
    Draw(done);
}

void ProgressLine::Finish(int64_t done) {
    if (!shown_ || finished_)
        return;
    finished_ = true;
    Draw(done);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace movarel::tool
