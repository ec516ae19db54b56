#pragma once
// The main window's caption: the film's part as the loader names it
// ("Movarel - [path]", or "Movarel" for the player's own film), followed by
// the title of the segment the panel describes. GUI thread.
#include <QString>

#include <string>

namespace movarel {

// The caption's parts as the window last showed them.
struct TitleParts {
    std::string Film = "Movarel";
    QString Segment;
};

// "Movarel - [lesson.qxf] - Segment title"; the film part alone when the
// title is empty.
QString WindowCaption(const std::string& filmCaption, const QString& segmentTitle);

// A film was loaded into the main window (or none): its caption, with no
// segment yet.
void SetFilmCaption(const std::string& caption);
// The segment now described; empty for none.
void SetCaptionSegment(const QString& title);

}  // namespace movarel
