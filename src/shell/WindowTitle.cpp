#include "shell/WindowTitle.h"

#include "shell/MainWindow.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

struct TitleParts {
    std::string Film = "Movarel";
    QString Segment;
};

TitleParts& Parts() {
    static TitleParts parts;
    return parts;
}

void Apply() {
    if (Shell().Window != nullptr)
        Shell().Window->setWindowTitle(WindowCaption(Parts().Film, Parts().Segment));
}

}  // namespace

QString WindowCaption(const std::string& filmCaption, const QString& segmentTitle) {
    const QString film = QString::fromStdString(filmCaption);
    // Titles are free text from the film; a line break would end the caption.
    const QString title = segmentTitle.simplified();
    return title.isEmpty() ? film : film + " - " + title;
}

void SetFilmCaption(const std::string& caption) {
    Parts().Film = caption;
    Parts().Segment.clear();
    Apply();
}

void SetCaptionSegment(const QString& title) {
    if (title == Parts().Segment) return;
    Parts().Segment = title;
    Apply();
}

}  // namespace movarel
