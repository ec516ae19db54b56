#include "shell/Commands.h"

#include <QMainWindow>

#include "controls/BottomPanel.h"
#include "controls/WidgetHelpers.h"
#include "engine/Player.h"
#include "engine/PlaybackClock.h"
#include "film/Film.h"
#include "film/MessageTexts.h"
#include "platform/CodePage.h"
#include "platform/UserMessages.h"
#include "shell/AboutBox.h"
#include "shell/CaptionTexts.h"
#include "shell/Geometry.h"
#include "shell/Help.h"
#include "shell/MainWindow.h"
#include "shell/Menus.h"
#include "shell/PanelBinding.h"
#include "shell/Seeking.h"
#include "shell/FramePresentation.h"
#include "shell/FilmLoading.h"
#include "shell/FilmResume.h"
#include "shell/PictureNote.h"
#include "sound/SoundTrack.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {
bool HasSegments() { return LoadedFilm().Count() > 0; }
}  // namespace

void Play() {
    ShellState& s = Shell();
    if (s.Window == nullptr || !HasSegments()) return;
    Player& player = s.Window->ActivePlayer();
    const uint8_t state = player.Clock().PlayState.load();
    if (state == Playing) return;
    if (state == Paused) {
        player.StartTimer();
    } else {
        s.FullScreenAtPlay = s.FullScreen;
        SaveWindowPlacement();
        // From where the film was left, else from the frame a seek put on
        // the screen while stopped, else from the segment's start.
        const std::optional<FilmPosition> shown = ShownPosition(player.Clock());
        const FilmPosition from = s.PendingStart.value_or(
            shown.value_or(FilmPosition{player.Clock().CurrentSegment.load(), 0}));
        s.PendingStart.reset();
        if (!StartFilmAt(from)) return;
    }
    player.SetPlayState(Playing);
    s.Window->DrainPlayerEvents();
}

void Pause() {
    if (Shell().Window == nullptr || !HasSegments()) return;
    Player& player = Shell().Window->ActivePlayer();
    if (player.Clock().PlayState.load() != Playing) return;
    player.SetPlayState(Paused);
    player.StopTimer();
    Shell().Window->DrainPlayerEvents();
}

void Stop() {
    ShellState& s = Shell();
    if (s.Window == nullptr) return;
    Player& player = s.Window->ActivePlayer();
    RememberWhereFilmIs();
    s.PendingStart.reset();
    if (s.CommandLine.CloseOnFinish) {
        player.Clock().StopRequested = true;
        player.StopTimer();
        ShellSound().Stop();
        CloseMainWindow();
        return;
    }
    player.StopPlaybackCommand();
    s.Window->DrainPlayerEvents();
    RestoreScreenMode();
    if (s.ClientArea != nullptr) s.ClientArea->update();
    if (PanelBinding* panels = ShellPanels()) {
        panels->ShowSegment();
        panels->RefreshTime();
    }
}

void ToggleSegmentList() {
    ShellState& s = Shell();
    s.SegmentListShown = !s.SegmentListShown;
    SetMenuCheck(Menus().ActionsMenu, 4, s.SegmentListShown);
    SetMenuCheck(Menus().PopupMenu, 6, s.SegmentListShown);
    PanelBinding* panels = ShellPanels();
    if (s.SegmentListShown && panels != nullptr) {
        panels->FillSegmentList();
        panels->SelectSegmentInList(ShellClock().CurrentSegment.load());
    }
    UpdateMenuState();
    LayoutPanels();
    if (panels == nullptr)
        return;
    if (s.SegmentListShown)
        panels->FocusSegmentList();
    else if (panels->SegmentListHasFocus())
        panels->FocusSegmentsButton();
}

void TogglePanel() {
    ShellState& s = Shell();
    s.PanelPinned = !s.PanelPinned;
    UpdateMenuState();
    LayoutPanels();
    FitPicture();
}

void ShowFilmProperties() {
    if (!HasSegments()) return;
    std::string text = FormatText("%s\r\r" + Texts().SegmentCountFmt + "\r\r",
                                  {FilmPathForProperties(), int64_t{LoadedFilm().Count()}});
    for (int32_t i = 0; i < LoadedFilm().Count(); ++i) {
        const Segment* segment = LoadedFilm().Items(i);
        const std::string sound = GetSoundKind(segment->SoundFileName) == kSoundKindMp3 ? "mp3" : " - ";
        text += FormatText("[%d x %d x %d bit / %d fps  Sound: %s]:  %s\r",
                           {int64_t{segment->Width}, int64_t{segment->Height}, int64_t{segment->BitsPerPixel},
                            int64_t{segment->Fps}, sound, DecodeAnsi(segment->Title)});
    }
    ShowMessage(text, "Film properties", MsgIcon::Information, MsgOwner::MainWindow);
}

void ShowHelp() {
    const HelpRoute route = ChooseHelpRoute(kHomePage, InstalledHelpDocuments(Shell().ProgramPath));
    if (!route.Url.empty() && OpenUrl(route.Url)) return;
    ShowMessage(route.Message, Captions().Help, MsgIcon::Information, MsgOwner::MainWindow);
}

void ShowAboutBox() {
    AboutBox box(Shell().Window);
    RunDialog(box);
}

void ChooseFile() {
    ShellState& s = Shell();
    if (s.Window == nullptr || !s.LoadAllowed) return;
    const std::string path = ChooseFilmPath(s.Window);
    if (path.empty()) return;
    OpenFilm(path, false);
}

namespace {

// The old film's playback ends as a Stop ends it (its place remembered, the
// screen mode of its start back), but never closes the window.
void StopForAnotherFilm() {
    ShellState& s = Shell();
    Player& player = s.Window->ActivePlayer();
    RememberWhereFilmIs();
    s.PendingStart.reset();
    HidePictureNote();
    if (player.Clock().PlayState.load() == Stopped) return;
    player.StopPlaybackCommand();
    RestoreScreenMode();
}

// The panels, menus and drops after the film changed; the old player's events
// went with it.
void ShowFilmChanged() {
    ShellState& s = Shell();
    if (s.Window == nullptr) return;
    const uint8_t state = ShellClock().PlayState.load();
    if (PanelBinding* panels = ShellPanels()) {
        panels->ShowPlayState(state);
        panels->ShowSegment();
        panels->RefreshTime();
    }
    s.Window->setAcceptDrops(DropsWelcome(state));
    UpdateMenuState();
    LayoutPanels();
    if (s.ClientArea != nullptr) s.ClientArea->update();
}

}  // namespace

void OpenFilm(const std::string& path, bool play) {
    ShellState& s = Shell();
    if (s.Window == nullptr) return;
    StopForAnotherFilm();
    ClearPresentation(s.Window->Presented());
    try {
        LoadFilmFile(path);
    } catch (...) {
        ShowFilmChanged();
        throw;
    }
    const std::optional<FilmPosition> left = WhereFilmWasLeft();
    s.PendingStart = left;
    if (play)
        Play();
    else
        ShowStoppedFrame();
    s.Window->DrainPlayerEvents();
    ShowFilmChanged();
    if (left) ShowPictureNote(s.ClientArea, ResumedNote(*left), s.PanelPinned ? kPanelHeight : 0);
}

void GoToFilmStart() {
    ShellState& s = Shell();
    s.PendingStart.reset();
    HidePictureNote();
    if (s.Window == nullptr || !HasSegments()) return;
    ForgetWhereFilmIs();
    // Stopped, the first frame is shown still; playing or paused, the film
    // goes on from there as it was.
    GoToFirstFrame();
}

void DoCommand(int id) {
    switch (id) {
        case cmd::Exit: CloseMainWindow(); break;
        case cmd::Load: ChooseFile(); break;
        case cmd::Properties: ShowFilmProperties(); break;
        case cmd::Play: Play(); break;
        case cmd::Pause: Pause(); break;
        case cmd::Stop: Stop(); break;
        case cmd::Segments: ToggleSegmentList(); break;
        case cmd::PrevSegment:
            if (HasSegments()) StartShellSegment(ShellClock().CurrentSegment.load() - 1);
            break;
        case cmd::NextSegment:
            if (HasSegments()) StartShellSegment(ShellClock().CurrentSegment.load() + 1);
            break;
        case cmd::ShowPanel: TogglePanel(); break;
        case cmd::ResumeFilms: SetResumingFilms(!ResumingFilms()); break;
        case cmd::FullScreen: ToggleFullScreen(); break;
        case cmd::ContextHelp: ShowHelp(); break;
        case cmd::About: ShowAboutBox(); break;
        case cmd::PlayPause: TogglePlayPause(); break;
        case cmd::SeekBack: SeekBy(-kShortSeekSeconds); break;
        case cmd::SeekForward: SeekBy(kShortSeekSeconds); break;
        case cmd::SeekBackMinute: SeekBy(-kLongSeekSeconds); break;
        case cmd::SeekForwardMinute: SeekBy(kLongSeekSeconds); break;
        case cmd::FrameBack: StepFrame(-1); break;
        case cmd::FrameForward: StepFrame(1); break;
        case cmd::FirstFrame: GoToFilmStart(); break;
        case cmd::Slower: StepSpeed(-1); break;
        case cmd::Faster: StepSpeed(1); break;
        default: break;
    }
    if (Shell().Window != nullptr) Shell().Window->DrainPlayerEvents();
    UpdateMenuState();
    LayoutPanels();
}

void RunCommand(int id) {
    GuardWndProc([id] { DoCommand(id); });
}

}  // namespace movarel
