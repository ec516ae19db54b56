#include "shell/WindowTitle.h"

#include "shell/MainWindow.h"
#include "shell/ShellState.h"

namespace movarel {


QString WindowCaption(const std::string& filmCaption, const QString& segmentTitle) {
    const QString film = QString::fromStdString(filmCaption);
    // Titles are free text from the film; a line break would end the caption.
    const QString title = segmentTitle.simplified();
    return title.isEmpty() ? film : film + " - " + title;
}

void SetFilmCaption(const std::string& caption) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    TitleParts& parts = window->Title();
    parts.Film = caption;
    parts.Segment.clear();
    window->setWindowTitle(WindowCaption(parts.Film, parts.Segment));
}

void SetCaptionSegment(const QString& title) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    TitleParts& parts = window->Title();
    if (title == parts.Segment) return;
    parts.Segment = title;
    window->setWindowTitle(WindowCaption(parts.Film, parts.Segment));
}

}  // namespace movarel
