#pragma once
// A short note over the foot of the picture, just above the control panel,
// that fades away after a few seconds (a film that went on from where it was
// left says so). GUI thread.
#include <QLabel>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTimer>

#include <string>

namespace movarel {

class MainWindow;

constexpr int kNoteShownMs = 4000;
constexpr int kNoteFadeMs = 800;

// The window's note: made on first use, on its client area.
struct NoteParts {
    QPointer<QLabel> Label;
    QPointer<QTimer> Hold;
    QPointer<QPropertyAnimation> Fade;
};

// Shows text on the window's client area, replacing a note still shown;
// bottomMargin keeps it above the panel.
void ShowPictureNote(MainWindow& window, const std::string& text, int bottomMargin);
// Takes the note away at once (another film, Home).
void HidePictureNote(MainWindow& window);
// The note's label while one is shown or fading, else null.
QLabel* ShownPictureNote(MainWindow& window);

}  // namespace movarel
