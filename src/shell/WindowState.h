#pragma once
// The main window's own state: its client area, the mode flags and the saved
// placement, gathered in one struct so a reader sees it at a glance. GUI
// thread only; what the painter shares with the timer thread is kept apart
// (Geometry.h, FramePresentation.h).
#include <QRect>

#include <cstdint>
#include <optional>
#include <string>

#include "engine/Player.h"
#include "shell/CommandLine.h"

class QTimer;
class QWidget;

namespace movarel {

struct SavedPlacement {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool PanelPinned = false;
};

struct WindowState {
    QWidget* ClientArea = nullptr;        // the central widget the picture is drawn on
    QRect ClientRect;                     // the client area, refreshed on every size change
    std::string FilmSource;               // the loaded film's file as given: command line, dialog, drop, or ProgramPath
    std::string ProgramPath;              // the player's own file
    bool LoadAllowed = false;
    bool FullScreen = false;
    bool SegmentListShown = false;
    bool PanelPinned = true;
    bool PanelSliding = false;
    bool FullScreenAtPlay = false;
    bool LoadingTextShown = false;
    bool Closing = false;                 // the close request ran once
    bool HasStarted = false;              // the start-up film was read; drops may load films
    SavedPlacement Saved;
    // Where Play goes on from while stopped: the frame a reopened film was
    // left at. Cleared by Play, Stop, Home and the next film.
    std::optional<FilmPosition> PendingStart;
    QTimer* PanelSlideTimer = nullptr;    // slides the unpinned panel out in full screen
    CommandLineSettings CommandLine;
};

}  // namespace movarel
