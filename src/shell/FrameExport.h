#pragma once
// The picture on the screen, cursor included, taken out of the player: to
// the clipboard as an image, or saved as a PNG file. GUI thread.
#include <QImage>
#include <QString>

#include "shell/ShellState.h"

namespace movarel {

// The latest picture handed to the window at the film's own size; null
// before the first frame and after Stop.
QImage CurrentFrameImage();

// The file a saved frame gets unless the user picks another: in the
// pictures folder, named for the film and the frame.
QString SuggestedFramePath();

// Copies the picture to the clipboard; false when there is none.
bool CopyFrameToClipboard();

// Replaces the save dialog (tests, so nothing blocks); the previous function
// is returned.
SaveFrameDialogFn SetSaveFrameDialog(SaveFrameDialogFn fn);

// Asks where to and writes the picture there as PNG; a failure is shown in
// a message box. Does nothing while there is no picture.
void SaveFrame();

}  // namespace movarel
