#include "DemoScenes.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "Canvas.h"
#include "DemoCursors.h"
#include "Desktop.h"
#include "SoundTrack.h"

namespace movarel::demo {
namespace {

constexpr float kFps = 10.0f;

struct Point {
    double x = 0, y = 0;
};

// Pointer positions between key frames, eased in and out like a hand moves.
class PointerPath {
public:
    PointerPath& At(int frame, Point p) {
        keys_.emplace_back(frame, p);
        return *this;
    }
    PointerPath& At(int frame, const Rect& r) { return At(frame, Point{r.x + r.w / 2.0, r.y + r.h / 2.0}); }

    Point operator()(int frame) const {
        if (keys_.empty())
            return {};
        if (frame <= keys_.front().first)
            return keys_.front().second;
        for (size_t i = 1; i < keys_.size(); ++i) {
            const auto& [f1, p1] = keys_[i];
            if (frame > f1)
                continue;
            const auto& [f0, p0] = keys_[i - 1];
            double t = f1 == f0 ? 1.0 : double(frame - f0) / (f1 - f0);
            t = t * t * (3 - 2 * t);
            return {p0.x + (p1.x - p0.x) * t, p0.y + (p1.y - p0.y) * t};
        }
        return keys_.back().second;
    }

private:
    std::vector<std::pair<int, Point>> keys_;
};

// Draws each moment, encodes it against the one before and records the pointer.
class Take {
public:
    Take(std::string title, writer::Packing packing, std::vector<Pointer> pointers)
        : canvas_(kScreenWidth, kScreenHeight), pointers_(std::move(pointers)) {
        spec_.width = kScreenWidth;
        spec_.height = kScreenHeight;
        spec_.bitsPerPixel = 32;
        spec_.fps = kFps;
        spec_.soundKind = writer::kSoundMp3;
        spec_.packing = packing;
        spec_.title = std::move(title);
        for (Pointer p : pointers_)
            spec_.cursors.push_back(PointerShape(p));
    }

    void Frame(const Scene& scene, Point pointer, Pointer shape) {
        DrawScene(canvas_, scene);
        spec_.rawFrameRecords.push_back(
            writer::EncodeFrameRecord(previous_, canvas_.Pixels(), kScreenWidth, kScreenHeight));
        previous_ = canvas_.Pixels();
        auto index = std::find(pointers_.begin(), pointers_.end(), shape) - pointers_.begin();
        auto coord = [](double v, int limit) {
            return static_cast<uint16_t>(std::clamp(static_cast<int>(std::lround(v)), 0, limit - 1));
        };
        spec_.track.push_back(writer::CursorSample{static_cast<uint16_t>(index), coord(pointer.x, kScreenWidth),
                                                   coord(pointer.y, kScreenHeight)});
    }

    int Frames() const { return static_cast<int>(spec_.rawFrameRecords.size()); }
    writer::SegmentSpec Finish() { return std::move(spec_); }

private:
    Canvas canvas_;
    writer::Image previous_;  // empty: the first frame is coded against black
    std::vector<Pointer> pointers_;
    writer::SegmentSpec spec_;
};

bool Inside(const Rect& r, Point p) { return r.Contains(static_cast<int>(p.x), static_cast<int>(p.y)); }

const char kNoteText[] =
    "Shopping list\n"
    "- coffee beans\n"
    "- bread and cheese\n"
    "- 6 apples\n"
    "\n"
    "Friday: take the car in at 9:30.";

// When each character of the note is typed, in seconds: a steady rhythm
// with a pause at the end of each line and a little unevenness.
std::vector<double> TypingTimes(double start) {
    std::vector<double> times;
    double t = start;
    unsigned wobble = 7;
    for (const char* c = kNoteText; *c; ++c) {
        wobble = wobble * 1103515245u + 12345u;
        t += 0.06 + 0.04 * ((wobble >> 16) % 100) / 100.0;
        if (*c == '\n')
            t += 0.35;
        times.push_back(t);
    }
    return times;
}

NotesWindow FinishedNotes(int x, int y) {
    NotesWindow w;
    w.open = true;
    w.x = x;
    w.y = y;
    w.text = kNoteText;
    w.status = "Line 6, column 33";
    return w;
}

// Take 1: open the editor from its desktop icon and type a note.
writer::SegmentSpec WritingANote(const DemoOptions& options, std::string& soundNote) {
    Take take("Writing a note", writer::Packing::CabLzx, {Pointer::Arrow, Pointer::IBeam});
    const int frames = 160;
    Scene scene;
    scene.notes.x = 300;
    scene.notes.y = 110;
    const Rect text = NotesTextArea(scene.notes);
    PointerPath path;
    path.At(0, Point{760, 520}).At(16, IconRect(1)).At(30, IconRect(1)).At(40, Point{text.x + 220.0, text.y + 70.0});
    // Click where the text starts, then move out of the way of the typing.
    path.At(44, Point{text.x + 60.0, text.y + 24.0}).At(50, Point{text.x + 60.0, text.y + 24.0});
    path.At(56, Point{text.x + 380.0, text.y + 210.0}).At(150, Point{text.x + 380.0, text.y + 210.0});
    path.At(159, Point{text.x + 420.0, text.y + 260.0});

    std::vector<SoundEvent> sounds{{1.8, Sound::Click}, {2.05, Sound::Click}, {2.6, Sound::Chime}, {4.3, Sound::Click}};
    std::vector<double> typed = TypingTimes(4.6);
    for (size_t i = 0; i < typed.size(); ++i)
        sounds.push_back({typed[i], kNoteText[i] == ' ' || kNoteText[i] == '\n' ? Sound::Space : Sound::Key});

    for (int f = 0; f < frames; ++f) {
        double now = f / double(kFps);
        scene.highlightedIcon = (now >= 1.8 && !scene.notes.open) ? 1 : -1;
        scene.notes.open = now >= 2.6;
        size_t count = static_cast<size_t>(std::count_if(typed.begin(), typed.end(), [&](double t) { return t <= now; }));
        scene.notes.text.assign(kNoteText, count);
        bool focused = now >= 4.3;
        bool justTyped = count > 0 && now - typed[count - 1] < 0.5;
        scene.notes.caret = focused && (justTyped || (f / 5) % 2 == 0);
        int line = static_cast<int>(std::count(scene.notes.text.begin(), scene.notes.text.end(), '\n'));
        size_t lineStart = scene.notes.text.rfind('\n');
        size_t column = scene.notes.text.size() - (lineStart == std::string::npos ? 0 : lineStart + 1);
        scene.notes.status = "Line " + std::to_string(line + 1) + ", column " + std::to_string(column + 1);
        Point p = path(f);
        Pointer shape = scene.notes.open && Inside(text, p) ? Pointer::IBeam : Pointer::Arrow;
        take.Frame(scene, p, shape);
    }
    writer::SegmentSpec segment = take.Finish();
    if (options.sound) {
        segment.sound = EncodeMp3(SynthesiseWav(sounds, frames / double(kFps)), soundNote);
    } else {
        soundNote = "sound was turned off";
    }
    return segment;
}

// Take 2: drag the editor out of the way and point at a link in the viewer.
writer::SegmentSpec MovingAWindow() {
    Take take("Moving a window", writer::Packing::Lzma, {Pointer::Arrow, Pointer::Move, Pointer::Hand});
    const int frames = 120;
    Scene scene;
    scene.notes = FinishedNotes(300, 110);
    scene.pictures.open = true;
    scene.pictures.x = 700;
    scene.pictures.y = 330;
    scene.notesOnTop = false;
    Rect grip = NotesTitleBar(scene.notes);
    Point grab{grip.x + 260.0, grip.y + 14.0};
    const Point from{300, 110}, to{60, 70};
    PointerPath path;
    path.At(0, Point{980, 180}).At(18, grab).At(22, grab);
    path.At(70, Point{grab.x + to.x - from.x, grab.y + to.y - from.y});
    path.At(74, Point{grab.x + to.x - from.x, grab.y + to.y - from.y});
    PicturesWindow finalPictures = scene.pictures;
    path.At(96, PicturesLink(finalPictures)).At(119, PicturesLink(finalPictures));

    for (int f = 0; f < frames; ++f) {
        Point p = path(f);
        bool dragging = f >= 20 && f <= 72;
        if (f >= 20)
            scene.notesOnTop = true;
        if (dragging) {
            scene.notes.x = static_cast<int>(std::lround(p.x - grab.x + from.x));
            scene.notes.y = static_cast<int>(std::lround(p.y - grab.y + from.y));
        }
        scene.pictures.linkHover = !dragging && Inside(PicturesLink(scene.pictures), p);
        Pointer shape = dragging ? Pointer::Move : scene.pictures.linkHover ? Pointer::Hand : Pointer::Arrow;
        take.Frame(scene, p, shape);
    }
    return take.Finish();
}

// Take 3: save the note through the File menu and point at the new link.
writer::SegmentSpec SavingFromAMenu() {
    Take take("Saving from the menu", writer::Packing::CabMsZip, {Pointer::Arrow, Pointer::MonoHand});
    const int frames = 100;
    Scene scene;
    scene.notes = FinishedNotes(60, 70);
    scene.pictures.open = true;
    scene.pictures.x = 700;
    scene.pictures.y = 330;
    const int saveItem = 2;
    PointerPath path;
    path.At(0, Point{520, 420}).At(14, NotesMenuTitle(scene.notes, 0)).At(18, NotesMenuTitle(scene.notes, 0));
    path.At(30, NotesMenuItem(scene.notes, 1)).At(36, NotesMenuItem(scene.notes, 5));
    path.At(44, NotesMenuItem(scene.notes, saveItem)).At(50, NotesMenuItem(scene.notes, saveItem));
    NotesWindow saved = scene.notes;
    saved.status = "Saved to Documents/note.txt.";
    saved.statusLink = "Show in folder";
    path.At(70, NotesStatusLink(saved)).At(99, NotesStatusLink(saved));

    for (int f = 0; f < frames; ++f) {
        Point p = path(f);
        bool menuOpen = f >= 16 && f < 50;
        scene.notes.menuOpen = menuOpen ? 0 : -1;
        scene.notes.menuHighlight = -1;
        if (menuOpen)
            for (int i = 0; i < NotesMenuItemCount(); ++i)
                if (!NotesMenuItemIsSeparator(i) && Inside(NotesMenuItem(scene.notes, i), p))
                    scene.notes.menuHighlight = i;
        if (f >= 50) {
            scene.notes.title = "note.txt - Notes";
            scene.notes.status = saved.status;
            scene.notes.statusLink = saved.statusLink;
        }
        scene.notes.statusLinkHover = !scene.notes.statusLink.empty() && Inside(NotesStatusLink(scene.notes), p);
        take.Frame(scene, p, scene.notes.statusLinkHover ? Pointer::MonoHand : Pointer::Arrow);
    }
    return take.Finish();
}

}  // namespace

DemoResult BuildDemoFilm(const DemoOptions& options) {
    DemoResult result;
    result.film.segments.push_back(WritingANote(options, result.soundNote));
    result.film.segments.push_back(MovingAWindow());
    result.film.segments.push_back(SavingFromAMenu());
    return result;
}

}  // namespace movarel::demo
