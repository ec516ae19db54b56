#pragma once
// The bottom control panel: transport buttons, the progress bar of the whole
// film, the speed and volume sliders and the panel's own texts. One panel per
// process; its state lives in BottomPanel().
#include <QBrush>
#include <QFont>
#include <QPen>
#include <QWidget>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "engine/Command.h"  // the buttons' ids

class QPushButton;
class QTimer;

namespace movarel {

class TqxProgressBar;
class TqxSlider;

constexpr int32_t kPanelHeight = 40;
constexpr uint32_t kPanelAccentColor = 0xA89890;

// Window message numbers, named in the panel's error reports.
constexpr int kMsgSize = 5;
constexpr int kMsgPaint = 15;
constexpr int kMsgCommand = 273;
constexpr int kMsgTimer = 275;
constexpr int kMsgRButtonUp = 517;

// The fields of the current segment that the panel shows.
struct PanelSegmentCopy {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BitsPerPixel = 0;
    int32_t FrameCount = 0;
    int32_t Fps = 0;
    std::string Title;
};

// Tooltip texts (UTF-8), the menus' caption texts once the language table is applied.
struct PanelTooltipTexts {
    std::string Play = "Play";
    std::string Pause = "Pause";
    std::string Stop = "Stop";
    std::string Segments = "Segments";
    std::string Prev = "Previous segment";
    std::string Next = "Next segment";
    std::string FullScreen = "Full screen";
    std::string Speed = "Speed";
    std::string Volume = "Volume";
    std::string Progress = "Progress";
};

class TqxBottomPanel;

struct BottomPanelState {
    // Read by the timer thread to hand the time refresh over; written under PostLock.
    std::atomic<QWidget*> Window{nullptr};
    int32_t W = 0;
    int32_t H = 0;
    // Play, Pause, Stop, Segments, Previous, Next, Full screen.
    std::array<QPushButton*, 7> Buttons{};
    TqxProgressBar* ProgressBar = nullptr;
    TqxSlider* SpeedSlider = nullptr;
    TqxSlider* VolumeSlider = nullptr;
    QTimer* VolumeTimer = nullptr;
    std::string InfoText;
    std::string TimeText;
    std::string SegmentName;
    std::string VolumeText;
    // Seconds from the start of the film to the current frame.
    float CurrentPosition = 0;
    PanelSegmentCopy Current;
    QBrush WhiteBrush;
    QBrush AccentBrush;
    QPen AccentPen;
    QPen BlackPen;
    QFont PanelFont;
    // A time refresh asked for by the timer thread is waiting on the GUI thread.
    std::atomic<bool> RefreshPending{false};
    std::mutex PostLock;
    // The film (TSegmentList::Film) whose invalid frame rate was reported; 0
    // for none. A broken film is named once, not at every refresh.
    uint32_t WrongFileReportedFilm = 0;
};
BottomPanelState& BottomPanel();

// Creates the hidden panel (600 x 100 until the shell lays it out) as a child
// of the main window, with its controls and its 200 ms volume timer.
QWidget* CreateBottomPanel(QWidget* mainWindow);
void CreatePanelTooltips(const PanelTooltipTexts& texts = PanelTooltipTexts());

// The whole panel again: background, header, volume, progress, Play or Pause.
void PanelFullRepaint();
// The current segment's description; called when a segment starts, on stop and
// after a choice in the segment list.
void PanelSegmentInfoRefresh();
// Speed, position and total time. On the GUI thread it runs at once; from any
// other thread it is handed over, and a request while one waits is dropped, so
// a fast film cannot flood the event queue.
void PanelTimeTextRefresh();
// Follows the device volume (every 200 ms, and after the volume slider moved).
void PanelVolumeRefresh();
// The play state changed: the focus moves between Play and Pause as the
// buttons swap, then the panel is repainted.
void PanelPlayStateChanged(int state);
// The panel's buttons handle these ids as the main window's commands.
void RunPanelCommand(int id);

QPushButton* PanelButton(int id);
// The speed slider's value 0 .. 8 (3 before the panel exists).
int32_t PanelSpeedPosition();

// "x1.0", "x0.25", "MAX" above a factor of 100; the user's decimal separator.
std::string FormatSpeedText(float factor);
// "hh:nn:ss" of a count of seconds, as a time of day (hours wrap at 24).
std::string FormatDayTime(double seconds);

}  // namespace movarel
