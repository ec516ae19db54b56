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
#include "film/TextFormat.h"
#include "platform/Texts.h"
#include "film/Streams.h"
#include "platform/Rounding.h"
#include "platform/UserMessages.h"
#include "shell/Commands.h"
#include "shell/MainWindow.h"
#include "shell/PlayerVolume.h"
#include "shell/Seeking.h"
#include "shell/WindowTitle.h"
#include "sound/Volume.h"

namespace movarel {

namespace {

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
}  // namespace

PanelBinding::PanelBinding(Source from, PlayerVolume& sound) : source(std::move(from)), volume(sound) {
    volume.SetDisplay([this] { ShowVolume(); });
}

PanelBinding::~PanelBinding() { volume.SetDisplay(nullptr); }

void PanelBinding::RunCommand(int id) {
    if (source.Command)
        source.Command(id);
}

ClockState& PanelBinding::Clock() {
    Player* player = source.ActivePlayer ? source.ActivePlayer() : nullptr;
    return player != nullptr ? player->Clock() : idle;
}

void PanelBinding::ReportWrongFrameRate() {
    const uint32_t film = source.LoadedFilm().Serial;
    if (wrongRateReportedFilm == film)
        return;
    // Set before the message shows: its dialog runs events, refreshes included.
    wrongRateReportedFilm = film;
    ShowMessage(FormatText(Texts().WrongFile, {std::string("FPS = 0")}), Texts().Error, MsgIcon::Error,
                MsgOwner::MainWindow);
}

// The progress bar leaves out segments without a frame rate.
void PanelBinding::FeedProgress() {
    if (panel == nullptr)
        return;
    std::vector<float> lengths;
    partSegments.clear();
    const Film& film = source.LoadedFilm();
    for (int32_t i = 0; i < film.Count(); ++i) {
        const Segment* seg = film.Items(i);
        if (seg != nullptr && seg->Fps != 0) {
            lengths.push_back(static_cast<float>(static_cast<double>(seg->FrameCount) / seg->Fps));
            partSegments.push_back(i);
        }
    }
    panel->setProgress(lengths, currentPosition);
}

void PanelBinding::FeedVolume() {
    if (panel != nullptr)
        panel->setVolume(volume.Percent());
}

void PanelBinding::ShowVolume() {
    if (panel != nullptr) {
        panel->setVolume(volume.Percent());
        panel->setMuted(volume.Muted());
    }
}

void PanelBinding::RefreshTimeNow() {
    if (panel == nullptr || !panel->isVisible())
        return;
    PanelTime time;
    double total = 0;
    currentPosition = 0;
    const Film& list = source.LoadedFilm();
    const int32_t current = Clock().CurrentSegment;
    for (int32_t i = 0; i < list.Count(); ++i) {
        const Segment* seg = list.Items(i);
        if (i == current) {
            currentPosition = static_cast<float>(total);
            time.PositionKnown = time.TotalKnown;
        }
        if (seg->Fps == 0) {
            time.TotalKnown = false;
            continue;
        }
        total += static_cast<double>(seg->FrameCount) / seg->Fps;
    }
    if (list.Count() > 0 && describedFps != 0)
        currentPosition += static_cast<float>((static_cast<double>(Clock().FrameIndex) + 1) / describedFps);
    else if (list.Count() > 0)
        time.PositionKnown = false;
    time.Position = currentPosition;
    time.Total = total;
    panel->setTime(time);
    FeedProgress();
    if (!time.TotalKnown)
        ReportWrongFrameRate();
}

void PanelBinding::ShowSegmentNow() {
    if (panel == nullptr)
        return;
    Player* player = source.ActivePlayer();
    if (const Segment* seg = player != nullptr ? player->CurrentSegmentInfo() : nullptr) {
        describedFps = seg->Fps;
        panel->setSegmentDescription(
            SegmentDescription{seg->Width, seg->Height, seg->BitsPerPixel, seg->Fps, DecodeFilmText(seg->Title)});
        SetCaptionSegment(DecodeFilmText(seg->Title));
    } else {
        panel->clearSegmentDescription();
        SetCaptionSegment(QString());
    }
    RefreshTimeNow();
}

void PanelBinding::SpeedChanged(int32_t position) {
    Clock().SpeedPosition = position;
    RefreshTimeNow();
    // The player re-times its clock: restarted when playing, stopped otherwise.
    if (Player* player = source.ActivePlayer())
        player->SetSpeedPosition(position);
}

void PanelBinding::VolumeChanged(int32_t percent) {
    // While muted the slider holds the volume to come back to; moving it unmutes.
    if (volume.Muted()) {
        if (percent != volume.Percent())
            volume.Set(percent);
        return;
    }
    SetVolumePercent(volume.Output(), static_cast<float>(percent));
    // The device may keep a volume of its own: the panel shows what it took.
    FeedVolume();
}

void PanelBinding::SeekFromBar(int32_t part, float offset, bool dragging) {
    Player* player = source.ActivePlayer ? source.ActivePlayer() : nullptr;
    // A click can come from a bar still showing a longer film.
    if (player == nullptr || !source.Seek || part < 0 || part >= static_cast<int32_t>(partSegments.size()))
        return;
    const int32_t segment = partSegments[static_cast<size_t>(part)];
    const Segment* seg = source.LoadedFilm().Items(segment);
    if (seg == nullptr || seg->FrameCount <= 0)
        return;
    FilmPosition position;
    // The bar's end is the segment's last frame.
    if (!player->PositionAtSegmentTime(segment, offset, &position))
        position = FilmPosition{segment, offset > 0 ? seg->FrameCount - 1 : 0};
    if (!dragging) {
        scrubTarget.reset();
        source.Seek(position);
        return;
    }
    scrubTarget = position;
    if (scrubQueued)
        return;
    scrubQueued = true;
    QMetaObject::invokeMethod(
        &alive, [this] { GuardWndProc([this] { RunQueuedScrub(); }); }, Qt::QueuedConnection);
}

void PanelBinding::RunQueuedScrub() {
    scrubQueued = false;
    if (!scrubTarget || !source.Seek)
        return;
    const FilmPosition position = *scrubTarget;
    scrubTarget.reset();
    // Each picture of a drag is a frame of its own: the same one again is not shown twice.
    const std::optional<FilmPosition> shown = ShownPosition(Clock());
    if (shown && Clock().PlayState.load() != Playing && shown->Segment == position.Segment &&
        shown->Frame == position.Frame)
        return;
    source.Seek(position);
}

void PanelBinding::CreatePanels(QWidget* clientArea) {
    if (panel != nullptr && panel->parentWidget() == clientArea)
        return;
    refreshPending = false;
    describedFps = 0;
    currentPosition = 0;
    wrongRateReportedFilm = 0;

    auto* segments = new SegmentListWindow(clientArea);
    segments->setTitle(DecodeFilmText(Texts().Segments));
    QObject::connect(segments, &SegmentListWindow::commandRequested, segments, [this](int id) { RunCommand(id); });
    QObject::connect(segments, &SegmentListWindow::segmentChosen, segments, [this](int32_t index) {
        if (source.StartSegment)
            source.StartSegment(index);
        ShowSegmentNow();
    });
    QObject::connect(segments, &SegmentListWindow::contextMenuRequested, segments, [] { ShowPopupMenu(); });

    auto* bottom = new BottomPanel(clientArea);
    QObject::connect(segments, &SegmentListWindow::focusBackRequested, bottom,
                     [bottom] { bottom->focusSegmentsButton(); });
    // A panel button, menu item and key all end in the one dispatcher; the
    // panel reports what fails in it in its own box.
    QObject::connect(bottom, &BottomPanel::commandRequested, bottom, [this](int id) {
        RunCommand(id);
        UpdateMenuState();
        Repaint();
    });
    QObject::connect(bottom, &BottomPanel::speedChanged, bottom, [this](int32_t v) { SpeedChanged(v); });
    QObject::connect(bottom, &BottomPanel::volumeChanged, bottom, [this](int32_t v) { VolumeChanged(v); });
    QObject::connect(bottom, &BottomPanel::seekRequested, bottom,
                     [this](int32_t part, float offset, bool dragging) { SeekFromBar(part, offset, dragging); });
    QObject::connect(bottom, &BottomPanel::contextMenuRequested, bottom, [] { ShowPopupMenu(); });
    Clock().SpeedPosition = bottom->speedPosition();
    bottom->setPlayState(ToPanelState(Clock().PlayState));

    // The device volume can change outside the player; the panel follows it.
    auto* volumePoll = new QTimer(bottom);
    volumePoll->setInterval(200);
    QObject::connect(volumePoll, &QTimer::timeout, bottom, [this] { GuardWndProc([this] { FeedVolume(); }); });
    volumePoll->start();

    list = segments;
    panel = bottom;
}

void PanelBinding::ApplyTooltips(const CaptionTexts& c) {
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

void PanelBinding::RefreshTime() {
    if (OnGuiThread()) {
        GuardWndProc([this] { RefreshTimeNow(); });
        return;
    }
    if (refreshPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, still = QPointer<QObject>(&alive)] {
            if (still == nullptr)
                return;
            refreshPending = false;
            GuardWndProc([this] { RefreshTimeNow(); });
        },
        Qt::QueuedConnection);
}

void PanelBinding::ShowSegment() {
    OnGui([this, still = QPointer<QObject>(&alive)] {
        if (still != nullptr)
            GuardWndProc([this] { ShowSegmentNow(); });
    });
}

void PanelBinding::ShowPlayState(int state) {
    if (panel != nullptr)
        panel->setPlayState(ToPanelState(state));
    Repaint();
}

void PanelBinding::SetButtonChecks(bool fullScreen, bool segmentListShown) {
    if (panel != nullptr)
        panel->setButtonChecks(fullScreen, segmentListShown);
}

void PanelBinding::Repaint() {
    if (panel == nullptr)
        return;
    panel->update();
    FeedVolume();
    FeedProgress();
    panel->setPlayState(ToPanelState(Clock().PlayState));
}

void PanelBinding::ShowSpeed() {
    if (panel == nullptr)
        return;
    panel->setSpeedFactor(static_cast<float>(Clock().Factor()), Clock().SpeedPosition);
    RefreshTimeNow();
}

void PanelBinding::FillSegmentList() {
    const Film& film = source.LoadedFilm();
    if (list == nullptr || film.Count() == 0)
        return;
    QStringList names;
    for (int32_t i = 0; i < film.Count(); ++i)
        if (const Segment* seg = film.Items(i))
            names << DecodeFilmText(seg->Title);
    list->setSegmentNames(names);
    list->selectSegment(Clock().CurrentSegment);
}

void PanelBinding::SelectSegmentInList(int32_t index) {
    OnGui([this, index, still = QPointer<QObject>(&alive)] {
        if (still != nullptr && list != nullptr)
            list->selectSegment(index);
    });
}

void PanelBinding::FocusSegmentList() {
    if (list != nullptr)
        list->focusList();
}

bool PanelBinding::SegmentListHasFocus() const { return list != nullptr && list->listHadFocus(); }

void PanelBinding::FocusSegmentsButton() {
    if (list != nullptr)
        list->forgetListFocus();
    if (panel != nullptr)
        panel->focusSegmentsButton();
}

}  // namespace movarel
