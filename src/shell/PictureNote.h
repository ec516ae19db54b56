#pragma once
// A short note over the foot of the picture, just above the control panel,
// that fades away after a few seconds (a film that went on from where it was
// left says so). GUI thread.
#include <string>

class QLabel;
class QWidget;

namespace movarel {

constexpr int kNoteShownMs = 4000;
constexpr int kNoteFadeMs = 800;

// Shows text on area, replacing a note still shown; bottomMargin keeps it
// above the panel.
void ShowPictureNote(QWidget* area, const std::string& text, int bottomMargin);
// Takes the note away at once (another film, Home).
void HidePictureNote();
// The note's label while one is shown or fading, else null.
QLabel* ShownPictureNote();

}  // namespace movarel
