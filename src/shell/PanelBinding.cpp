#include "shell/PanelBinding.h"

#include <QCoreApplication>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <vector>

#include "controls/BottomPanel.h"
#include "controls/SegmentListWindow.h"
#include "controls/WidgetHelpers.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "film/MessageTexts.h"
#include "film/Streams.h"
#include "platform/Rounding.h"
#include "platform/UserMessages.h"
#include "shell/CaptionTexts.h"
#include "shell/Commands.h"
#include "shell/MainWindow.h"
#include "shell/PlayerVolume.h"
#include "shell/FilmLoading.h"
#include "shell/ShellState.h"
#include "shell/WindowTitle.h"
#include "sound/Volume.h"

namespace movarel {

namespace {

struct BindingState {
    QPointer<BottomPanel> Panel;
    QPointer<SegmentListWindow> List;
    // A time refresh asked for by the timer thread waits on the GUI thread.
    std::atomic<bool> RefreshPending{false};
    // The frame rate of the segment the panel describes: the time display
    // counts the clock's frames at it.
    int32_t DescribedFps = 0;
    // Seconds from the start of the film to the current frame, as last shown.
    float CurrentPosition = 0;
    // The film (Film::Serial) whose invalid frame rate was reported; 0
    // for none. A broken film is named once, not at every refresh.
    uint32_t WrongRateReportedFilm = 0;
};

BindingState& Binding() {
    static BindingState state;
    return state;
}

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

template <class Fn>
void OnGui(Fn&& fn) {
    if (OnGuiThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::forward<Fn>(fn), Qt::QueuedConnection);
}

PanelPlayState ToPanelState(int state) {
    switch (state) {
    case Playing: return PanelPlayState::Playing;
    case Paused: return PanelPlayState::Paused;
    default: return PanelPlayState::Stopped;
    }
}

// The time display meets a broken segment at every refresh, many times a
// second; the user hears of it once per film.
void ReportWrongFrameRate() {
    BindingState& s = Binding();
    const uint32_t film = LoadedFilm().Serial;
    if (s.WrongRateReportedFilm == film)
        return;
    // Set before the message shows: its dialog runs events, refreshes included.
    s.WrongRateReportedFilm = film;
    ShowMessage(FormatText(Texts().WrongFile, {std::string("FPS = 0")}), Texts().Error, MsgIcon::Error,
                MsgOwner::MainWindow);
}

// The progress bar leaves out segments without a frame rate.
void FeedProgress() {
    BindingState& s = Binding();
    if (s.Panel == nullptr)
        return;
    std::vector<float> lengths;
    const Film& list = LoadedFilm();
    for (int32_t i = 0; i < list.Count(); ++i) {
        const Segment* seg = list.Items(i);
        if (seg != nullptr && seg->Fps != 0)
            lengths.push_back(static_cast<float>(static_cast<double>(seg->FrameCount) / seg->Fps));
    }
    s.Panel->setProgress(lengths, s.CurrentPosition);
}

void FeedVolume() {
    if (BottomPanel* panel = Binding().Panel)
        panel->setVolume(PlayerVolumePercent());
}

void RefreshTimeNow() {
    BindingState& s = Binding();
    BottomPanel* panel = s.Panel;
    if (panel == nullptr || !panel->isVisible())
        return;
    PanelTime time;
    double total = 0;
    s.CurrentPosition = 0;
    const Film& list = LoadedFilm();
    const int32_t current = ShellClock().CurrentSegment;
    for (int32_t i = 0; i < list.Count(); ++i) {
        const Segment* seg = list.Items(i);
        if (i == current) {
            s.CurrentPosition = static_cast<float>(total);
            time.PositionKnown = time.TotalKnown;
        }
        if (seg->Fps == 0) {
            time.TotalKnown = false;
            continue;
        }
        total += static_cast<double>(seg->FrameCount) / seg->Fps;
    }
    if (list.Count() > 0 && s.DescribedFps != 0)
        s.CurrentPosition += static_cast<float>((static_cast<double>(ShellClock().FrameIndex) + 1) / s.DescribedFps);
    else if (list.Count() > 0)
        time.PositionKnown = false;
    time.Position = s.CurrentPosition;
    time.Total = total;
    panel->setTime(time);
    FeedProgress();
    if (!time.TotalKnown)
        ReportWrongFrameRate();
}

void ShowSegmentNow() {
    BindingState& s = Binding();
    if (s.Panel == nullptr)
        return;
    if (const Segment* seg = ShellSegment()) {
        s.DescribedFps = seg->Fps;
        s.Panel->setSegmentDescription(
            SegmentDescription{seg->Width, seg->Height, seg->BitsPerPixel, seg->Fps, DecodeFilmText(seg->Title)});
        SetCaptionSegment(DecodeFilmText(seg->Title));
    } else {
        s.Panel->clearSegmentDescription();
        SetCaptionSegment(QString());
    }
    RefreshTimeNow();
}

// A panel button, menu item and key all end in the one dispatcher; the
// panel reports what fails in it in its own box.
void RunPanelCommand(int id) {
    DoCommand(id);
    UpdateMenuState();
    RepaintPanel();
}

void SpeedChanged(int32_t position) {
    ShellClock().SpeedPosition = position;
    RefreshTimeNow();
    // The player re-times its clock: restarted when playing, stopped otherwise.
    if (Player* player = ShellPlayer())
        player->SetSpeedPosition(position);
}

void VolumeChanged(int32_t percent) {
    // While muted the slider holds the volume to come back to; moving it unmutes.
    if (PlayerVolumeMuted()) {
        if (percent != PlayerVolumePercent())
            SetPlayerVolume(percent);
        return;
    }
    SetVolumePercent(ShellAudioOutput(), static_cast<float>(percent));
    // The device may keep a volume of its own: the panel shows what it took.
    FeedVolume();
}

void StartChosenSegment(int32_t index) {
    // A click can come from a bar still showing a longer film.
    if (index < 0 || index >= LoadedFilm().Count())
        return;
    StartShellSegment(index);
}

}  // namespace

void CreatePanels(QWidget* clientArea) {
    BindingState& s = Binding();
    if (s.Panel != nullptr && s.Panel->parentWidget() == clientArea)
        return;
    s.RefreshPending = false;
    s.DescribedFps = 0;
    s.CurrentPosition = 0;
    s.WrongRateReportedFilm = 0;

    auto* list = new SegmentListWindow(clientArea);
    list->setTitle(DecodeFilmText(Texts().Segments));
    QObject::connect(list, &SegmentListWindow::commandRequested, list, [](int id) { DoCommand(id); });
    QObject::connect(list, &SegmentListWindow::segmentChosen, list, [](int32_t index) {
        StartShellSegment(index);
        ShowSegmentNow();
    });
    QObject::connect(list, &SegmentListWindow::contextMenuRequested, list, [] { ShowPopupMenu(); });

    auto* panel = new BottomPanel(clientArea);
    QObject::connect(list, &SegmentListWindow::focusBackRequested, panel, [panel] { panel->focusSegmentsButton(); });
    QObject::connect(panel, &BottomPanel::commandRequested, panel, &RunPanelCommand);
    QObject::connect(panel, &BottomPanel::speedChanged, panel, &SpeedChanged);
    QObject::connect(panel, &BottomPanel::volumeChanged, panel, &VolumeChanged);
    QObject::connect(panel, &BottomPanel::segmentChosen, panel, &StartChosenSegment);
    QObject::connect(panel, &BottomPanel::contextMenuRequested, panel, [] { ShowPopupMenu(); });
    ShellClock().SpeedPosition = panel->speedPosition();
    panel->setPlayState(ToPanelState(ShellClock().PlayState));

    // The device volume can change outside the player; the panel follows it.
    auto* volumePoll = new QTimer(panel);
    volumePoll->setInterval(200);
    QObject::connect(volumePoll, &QTimer::timeout, panel, [] { GuardWndProc([] { FeedVolume(); }); });
    volumePoll->start();

    s.List = list;
    s.Panel = panel;
    Shell().SegmentListWindow = list;
    Shell().BottomPanelWindow = panel;
}

BottomPanel* Panel() { return Binding().Panel; }

SegmentListWindow* SegmentListPanel() { return Binding().List; }

void ApplyPanelTooltips(const CaptionTexts& c) {
    BottomPanel* panel = Panel();
    if (panel == nullptr)
        return;
    PanelTooltipTexts t;
    t.Play = c.Play;
    t.Pause = c.Pause;
    t.Stop = c.Stop;
    t.Segments = c.Segments;
    t.Prev = c.Prev;
    t.Next = c.Next;
    t.FullScreen = c.FullScreen;
    t.Speed = c.Speed;
    t.Volume = c.Volume;
    t.Progress = c.Progress;
    panel->setTooltips(t);
}

void RefreshPanelTime() {
    if (OnGuiThread()) {
        GuardWndProc([] { RefreshTimeNow(); });
        return;
    }
    if (Binding().RefreshPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            Binding().RefreshPending = false;
            GuardWndProc([] { RefreshTimeNow(); });
        },
        Qt::QueuedConnection);
}

void ShowPanelSegment() {
    OnGui([] { GuardWndProc([] { ShowSegmentNow(); }); });
}

void ShowPanelPlayState(int state) {
    if (BottomPanel* panel = Panel())
        panel->setPlayState(ToPanelState(state));
    RepaintPanel();
}

void SetPanelButtonChecks(bool fullScreen, bool segmentListShown) {
    if (BottomPanel* panel = Panel())
        panel->setButtonChecks(fullScreen, segmentListShown);
}

void RepaintPanel() {
    BottomPanel* panel = Panel();
    if (panel == nullptr)
        return;
    panel->update();
    FeedVolume();
    FeedProgress();
    panel->setPlayState(ToPanelState(ShellClock().PlayState));
}

void FillSegmentList() {
    SegmentListWindow* window = SegmentListPanel();
    const Film& film = LoadedFilm();
    if (window == nullptr || film.Count() == 0)
        return;
    QStringList names;
    for (int32_t i = 0; i < film.Count(); ++i)
        if (const Segment* seg = film.Items(i))
            names << DecodeFilmText(seg->Title);
    window->setSegmentNames(names);
    window->selectSegment(ShellClock().CurrentSegment);
}

void SelectSegmentInList(int32_t index) {
    OnGui([index] {
        if (SegmentListWindow* window = SegmentListPanel())
            window->selectSegment(index);
    });
}

void FocusSegmentList() {
    if (SegmentListWindow* window = SegmentListPanel())
        window->focusList();
}

bool SegmentListHasFocus() {
    SegmentListWindow* window = SegmentListPanel();
    return window != nullptr && window->listHadFocus();
}

void FocusSegmentsButton() {
    if (SegmentListWindow* window = SegmentListPanel())
        window->forgetListFocus();
    if (BottomPanel* panel = Panel())
        panel->focusSegmentsButton();
}

}  // namespace movarel
