#pragma once
// The recorded desktop: background, icons, a notes editor, a picture viewer,
// a menu and the task bar, drawn from one description of the moment.
#include <string>

#include "Canvas.h"

namespace movarel::demo {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;

struct NotesWindow {
    bool open = false;
    int x = 300, y = 110;
    std::string title = "Untitled - Notes";
    std::string text;
    bool caret = false;
    int menuOpen = -1;       // index into the menu bar, -1 closed
    int menuHighlight = -1;  // item under the pointer, -1 none
    std::string status;      // status bar text
    std::string statusLink;  // a link after the status text
    bool statusLinkHover = false;
};

struct PicturesWindow {
    bool open = false;
    int x = 700, y = 330;
    bool linkHover = false;
};

struct Scene {
    int highlightedIcon = -1;
    NotesWindow notes;
    PicturesWindow pictures;
    bool notesOnTop = true;
    std::string clock = "10:42";
};

void DrawScene(Canvas& canvas, const Scene& scene);

// Where things are, for moving the pointer to them and for choosing its shape.
Rect IconRect(int index);  // 0 Home, 1 Notes, 2 Pictures, 3 Trash
Rect NotesRect(const NotesWindow& w);
Rect NotesTitleBar(const NotesWindow& w);
Rect NotesTextArea(const NotesWindow& w);
Rect NotesMenuTitle(const NotesWindow& w, int index);  // 0 File, 1 Edit ...
Rect NotesMenuItem(const NotesWindow& w, int index);   // items of the File menu
int NotesMenuItemCount();
bool NotesMenuItemIsSeparator(int index);
Rect NotesStatusLink(const NotesWindow& w);
Rect PicturesRect(const PicturesWindow& w);
Rect PicturesLink(const PicturesWindow& w);

}  // namespace movarel::demo
