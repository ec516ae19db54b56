#include "Desktop.h"

#include <cmath>
#include <vector>

namespace movarel::demo {
namespace {

constexpr int kTitleHeight = 28;
constexpr int kMenuBarHeight = 24;
constexpr int kStatusHeight = 24;
constexpr int kTaskbarHeight = 36;
constexpr int kNotesWidth = 640, kNotesHeight = 440;
constexpr int kPicturesWidth = 520, kPicturesHeight = 380;

constexpr uint32_t kInk = 0x1E2228;
constexpr uint32_t kChrome = 0xE8EAED;
constexpr uint32_t kChromeDark = 0x9AA0A6;
constexpr uint32_t kSelection = 0x2F6FD6;
constexpr uint32_t kLink = 0x1A5FB4;
constexpr uint32_t kLinkHover = 0xC0392B;

const char* const kMenuTitles[] = {"File", "Edit", "View", "Help"};
struct MenuItem {
    const char* caption;
    const char* shortcut;
};
const MenuItem kFileMenu[] = {{"New", "Ctrl+N"},  {"Open...", "Ctrl+O"}, {"Save", "Ctrl+S"},
                              {"Save as...", ""}, {"-", ""},             {"Print...", "Ctrl+P"},
                              {"-", ""},          {"Quit", "Ctrl+Q"}};
constexpr int kMenuItemHeight = 24, kSeparatorHeight = 9, kMenuWidth = 220;

const char* const kIconLabels[] = {"Home", "Notes", "Pictures", "Trash"};

void Background(Canvas& c) {
    c.VerticalGradient({0, 0, kScreenWidth, kScreenHeight - kTaskbarHeight}, 0x1F4E6B, 0x4E8C8A);
    // Soft bands across the lower part, like a landscape wallpaper.
    for (int x = 0; x < kScreenWidth; x += 4) {
        int top = 520 + static_cast<int>(40 * std::sin(x / 180.0) + 18 * std::sin(x / 53.0));
        c.Fill({x, top, 4, kScreenHeight - kTaskbarHeight - top}, 0x2E6B5E);
        int top2 = 600 + static_cast<int>(30 * std::sin(x / 140.0 + 2.0));
        c.Fill({x, top2, 4, kScreenHeight - kTaskbarHeight - top2}, 0x25574D);
    }
}

void IconPicture(Canvas& c, int index, const Rect& r) {
    switch (index) {
        case 0:  // a folder
            c.Fill({r.x + 4, r.y + 8, 18, 8}, 0xE0A82E);
            c.Fill({r.x + 4, r.y + 14, 40, 28}, 0xF2C14E);
            c.Frame({r.x + 4, r.y + 14, 40, 28}, 0xB07F18);
            break;
        case 1:  // a page with lines
            c.Fill({r.x + 10, r.y + 4, 28, 40}, 0xFFFFFF);
            c.Frame({r.x + 10, r.y + 4, 28, 40}, 0x7A8088);
            for (int i = 0; i < 5; ++i)
                c.Fill({r.x + 15, r.y + 12 + i * 6, i == 4 ? 10 : 18, 2}, 0x5C7CFA);
            break;
        case 2:  // a small landscape
            c.Fill({r.x + 4, r.y + 8, 40, 32}, 0x8ECAE6);
            c.FillCircle(r.x + 34, r.y + 16, 4, 0xFFD166);
            c.Fill({r.x + 4, r.y + 30, 40, 10}, 0x52B788);
            c.Frame({r.x + 4, r.y + 8, 40, 32}, 0x33415C);
            break;
        default:  // a bin
            c.Fill({r.x + 12, r.y + 10, 24, 4}, 0x8D99AE);
            c.Fill({r.x + 14, r.y + 14, 20, 28}, 0xADB5BD);
            for (int i = 0; i < 3; ++i)
                c.Fill({r.x + 18 + i * 5, r.y + 18, 2, 20}, 0x6C757D);
            break;
    }
}

void Icons(Canvas& c, int highlighted) {
    for (int i = 0; i < 4; ++i) {
        Rect r = IconRect(i);
        if (i == highlighted)
            c.Fill({r.x - 14, r.y - 4, r.w + 28, r.h + 24}, 0x4A7FA8);
        IconPicture(c, i, r);
        std::string label = kIconLabels[i];
        int tx = r.x + (r.w - Canvas::TextWidth(label)) / 2;
        c.Text(tx + 1, r.y + r.h + 7, label, 0x102030);
        c.Text(tx, r.y + r.h + 6, label, 0xFFFFFF);
    }
}

void TitleBar(Canvas& c, const Rect& r, const std::string& title, bool active) {
    c.Fill({r.x, r.y, r.w, kTitleHeight}, active ? 0x34495E : 0x9099A2);
    c.Text(r.x + 10, r.y + 7, title, active ? 0xFFFFFF : 0xE8EAED, 2);
    // Minimise, maximise and close buttons.
    int bx = r.x + r.w - 3 * 26 - 4;
    for (int i = 0; i < 3; ++i) {
        Rect b{bx + i * 26, r.y + 4, 22, 20};
        c.Fill(b, i == 2 ? 0xD9534F : (active ? 0x4A6279 : 0xA5ADB5));
        uint32_t mark = 0xFFFFFF;
        if (i == 0) c.Fill({b.x + 6, b.y + 13, 10, 2}, mark);
        if (i == 1) c.Frame({b.x + 6, b.y + 5, 10, 10}, mark);
        if (i == 2)
            for (int k = 0; k < 10; ++k) {
                c.Fill({b.x + 6 + k, b.y + 5 + k, 2, 1}, mark);
                c.Fill({b.x + 15 - k, b.y + 5 + k, 2, 1}, mark);
            }
    }
}

void WindowFrame(Canvas& c, const Rect& r) {
    c.Fill({r.x + 6, r.y + 6, r.w, r.h}, 0x17303A);  // shadow
    c.Fill(r, kChrome);
    c.Frame(r, 0x5F6B73);
}

void Notes(Canvas& c, const NotesWindow& w, bool active) {
    Rect r = NotesRect(w);
    WindowFrame(c, r);
    TitleBar(c, r, w.title, active);
    for (int i = 0; i < 4; ++i) {
        Rect m = NotesMenuTitle(w, i);
        if (i == w.menuOpen)
            c.Fill(m, kSelection);
        c.Text(m.x + 8, m.y + 5, kMenuTitles[i], i == w.menuOpen ? 0xFFFFFF : kInk, 2);
    }
    Rect text = NotesTextArea(w);
    c.Fill(text, 0xFFFFFF);
    c.Frame(text, 0xB8BEC4);
    int lineHeight = Canvas::LineHeight(2) + 4;
    int penX = text.x + 10, penY = text.y + 10;
    std::string line;
    for (char ch : w.text) {
        if (ch == '\n') {
            penY += lineHeight;
            line.clear();
            continue;
        }
        line += ch;
        c.Text(penX + Canvas::TextWidth(line.substr(0, line.size() - 1), 2), penY, std::string(1, ch), kInk, 2);
    }
    if (w.caret)
        c.Fill({penX + Canvas::TextWidth(line, 2), penY - 2, 2, 18}, kInk);
    // Status bar.
    Rect status{r.x + 1, r.y + r.h - kStatusHeight, r.w - 2, kStatusHeight - 1};
    c.Fill(status, 0xDADDE1);
    c.Text(status.x + 8, status.y + 8, w.status, 0x3C4248);
    if (!w.statusLink.empty()) {
        Rect l = NotesStatusLink(w);
        uint32_t colour = w.statusLinkHover ? kLinkHover : kLink;
        c.Text(l.x, l.y + 2, w.statusLink, colour);
        if (w.statusLinkHover)
            c.Fill({l.x, l.y + 10, l.w, 1}, colour);
    }
    if (w.menuOpen == 0) {
        Rect first = NotesMenuItem(w, 0);
        Rect last = NotesMenuItem(w, NotesMenuItemCount() - 1);
        Rect menu{first.x - 2, first.y - 4, kMenuWidth, last.y + last.h - first.y + 8};
        c.Fill({menu.x + 4, menu.y + 4, menu.w, menu.h}, 0x6B7278);
        c.Fill(menu, 0xFAFAFB);
        c.Frame(menu, 0x7A8088);
        for (int i = 0; i < NotesMenuItemCount(); ++i) {
            Rect item = NotesMenuItem(w, i);
            if (NotesMenuItemIsSeparator(i)) {
                c.Fill({item.x + 6, item.y + 4, item.w - 12, 1}, 0xC4C9CE);
                continue;
            }
            bool lit = i == w.menuHighlight;
            if (lit)
                c.Fill(item, kSelection);
            uint32_t ink = lit ? 0xFFFFFF : kInk;
            c.Text(item.x + 10, item.y + 8, kFileMenu[i].caption, ink);
            std::string shortcut = kFileMenu[i].shortcut;
            c.Text(item.x + item.w - 10 - Canvas::TextWidth(shortcut), item.y + 8, shortcut,
                   lit ? 0xDCE6F5 : 0x6C737A);
        }
    }
}

void Pictures(Canvas& c, const PicturesWindow& w, bool active) {
    Rect r = PicturesRect(w);
    WindowFrame(c, r);
    TitleBar(c, r, "hills.png - Pictures", active);
    Rect view{r.x + 8, r.y + kTitleHeight + 8, r.w - 16, r.h - kTitleHeight - 16 - kStatusHeight};
    c.VerticalGradient({view.x, view.y, view.w, view.h}, 0x6FB7E8, 0xCDE9F6);
    c.FillCircle(view.x + view.w - 90, view.y + 60, 30, 0xFFD166);
    for (int x = 0; x < view.w; x += 2) {
        int hill = static_cast<int>(view.h * 0.55 + 30 * std::sin(x / 70.0) + 12 * std::sin(x / 23.0));
        c.Fill({view.x + x, view.y + hill, 2, view.h - hill}, 0x52B788);
        int near = static_cast<int>(view.h * 0.75 + 20 * std::sin(x / 90.0 + 1.3));
        c.Fill({view.x + x, view.y + near, 2, view.h - near}, 0x2D6A4F);
    }
    c.Frame(view, 0x7A8088);
    Rect bar{r.x + 1, r.y + r.h - kStatusHeight - 4, r.w - 2, kStatusHeight + 3};
    c.Fill(bar, 0xDADDE1);
    c.Text(bar.x + 8, bar.y + 9, "1024 x 683, 212 KB", 0x3C4248);
    Rect l = PicturesLink(w);
    uint32_t colour = w.linkHover ? kLinkHover : kLink;
    c.Text(l.x, l.y + 2, "Open folder", colour);
    if (w.linkHover)
        c.Fill({l.x, l.y + 10, l.w, 1}, colour);
}

void Taskbar(Canvas& c, const Scene& s) {
    Rect bar{0, kScreenHeight - kTaskbarHeight, kScreenWidth, kTaskbarHeight};
    c.Fill(bar, 0x22262C);
    c.Fill({0, bar.y, kScreenWidth, 1}, 0x4A515A);
    c.Fill({6, bar.y + 5, 76, 26}, 0x3D7A5F);
    c.Text(18, bar.y + 11, "Apps", 0xFFFFFF, 2);
    int x = 96;
    auto task = [&](const std::string& label, bool active) {
        c.Fill({x, bar.y + 5, 170, 26}, active ? 0x4A5461 : 0x323840);
        if (active)
            c.Fill({x, bar.y + 29, 170, 2}, 0x7FB3E0);
        c.Text(x + 10, bar.y + 14, label, 0xE6E8EA);
        x += 178;
    };
    bool notesActive = s.notes.open && (s.notesOnTop || !s.pictures.open);
    if (s.notes.open)
        task(s.notes.title, notesActive);
    if (s.pictures.open)
        task("hills.png - Pictures", !notesActive);
    c.Text(kScreenWidth - 16 - Canvas::TextWidth(s.clock, 2), bar.y + 11, s.clock, 0xFFFFFF, 2);
}

}  // namespace

Rect IconRect(int index) { return {40, 28 + index * 96, 48, 48}; }

Rect NotesRect(const NotesWindow& w) { return {w.x, w.y, kNotesWidth, kNotesHeight}; }

Rect NotesTitleBar(const NotesWindow& w) { return {w.x, w.y, kNotesWidth - 3 * 26 - 6, kTitleHeight}; }

Rect NotesTextArea(const NotesWindow& w) {
    int top = w.y + kTitleHeight + kMenuBarHeight;
    return {w.x + 4, top, kNotesWidth - 8, kNotesHeight - (top - w.y) - kStatusHeight - 2};
}

Rect NotesMenuTitle(const NotesWindow& w, int index) {
    int x = w.x + 4;
    for (int i = 0; i < index; ++i)
        x += Canvas::TextWidth(kMenuTitles[i], 2) + 16;
    return {x, w.y + kTitleHeight, Canvas::TextWidth(kMenuTitles[index], 2) + 16, kMenuBarHeight};
}

Rect NotesMenuItem(const NotesWindow& w, int index) {
    Rect title = NotesMenuTitle(w, 0);
    int y = title.y + title.h + 4;
    for (int i = 0; i < index; ++i)
        y += NotesMenuItemIsSeparator(i) ? kSeparatorHeight : kMenuItemHeight;
    return {title.x + 2, y, kMenuWidth - 4, NotesMenuItemIsSeparator(index) ? kSeparatorHeight : kMenuItemHeight};
}

int NotesMenuItemCount() { return static_cast<int>(std::size(kFileMenu)); }

bool NotesMenuItemIsSeparator(int index) { return std::string(kFileMenu[index].caption) == "-"; }

Rect NotesStatusLink(const NotesWindow& w) {
    int x = w.x + 9 + Canvas::TextWidth(w.status) + 12;
    return {x, w.y + kNotesHeight - kStatusHeight + 6, Canvas::TextWidth(w.statusLink), 12};
}

Rect PicturesRect(const PicturesWindow& w) { return {w.x, w.y, kPicturesWidth, kPicturesHeight}; }

Rect PicturesLink(const PicturesWindow& w) {
    int width = Canvas::TextWidth("Open folder");
    return {w.x + kPicturesWidth - 14 - width, w.y + kPicturesHeight - kStatusHeight - 4 + 7, width, 12};
}

void DrawScene(Canvas& c, const Scene& s) {
    Background(c);
    Icons(c, s.highlightedIcon);
    bool notesFirst = !s.notesOnTop;
    for (int pass = 0; pass < 2; ++pass) {
        bool drawNotes = (pass == 0) == notesFirst;
        if (drawNotes && s.notes.open)
            Notes(c, s.notes, s.notesOnTop || !s.pictures.open);
        if (!drawNotes && s.pictures.open)
            Pictures(c, s.pictures, !s.notesOnTop || !s.notes.open);
    }
    Taskbar(c, s);
}

}  // namespace movarel::demo
