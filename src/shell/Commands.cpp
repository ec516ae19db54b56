#include "shell/Commands.h"

#include <QMainWindow>

#include "controls/BottomPanel.h"
#include "controls/WidgetHelpers.h"
#include "engine/Player.h"
#include "engine/PlaybackClock.h"
#include "film/Film.h"
#include "film/TextFormat.h"
#include "platform/Texts.h"
#include "platform/CodePage.h"
#include "platform/UserMessages.h"
#include "shell/AboutBox.h"
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
#include "shell/ShellState.h"
#include "sound/SoundTrack.h"

namespace movarel {

namespace {
bool HasSegments() { return Shell().Window != nullptr && Shell().Window->LoadedFilm().Count() > 0; }
}  // namespace

void Play() {
    MainWindow* window = Shell().Window;
    if (window == nullptr || !HasSegments()) return;
    WindowState& s = window->State();
    Player& player = window->ActivePlayer();
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
    window->DrainPlayerEvents();
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
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    Player& player = window->ActivePlayer();
    RememberWhereFilmIs();
    s.PendingStart.reset();
    if (s.CommandLine.CloseOnFinish) {
        player.Clock().StopRequested = true;
        player.StopTimer();
        window->Sound().Stop();
        CloseMainWindow();
        return;
    }
    player.StopPlaybackCommand();
    window->DrainPlayerEvents();
    RestoreScreenMode();
    if (s.ClientArea != nullptr) s.ClientArea->update();
    window->Panels().ShowSegment();
    window->Panels().RefreshTime();
}

void ToggleSegmentList() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    s.SegmentListShown = !s.SegmentListShown;
    SetMenuCheck(window->Menus().ActionsMenu, 4, s.SegmentListShown);
    SetMenuCheck(window->Menus().PopupMenu, 6, s.SegmentListShown);
    PanelBinding& panels = window->Panels();
    if (s.SegmentListShown) {
        panels.FillSegmentList();
        panels.SelectSegmentInList(window->ActivePlayer().Clock().CurrentSegment.load());
    }
    UpdateMenuState();
    LayoutPanels();
    if (s.SegmentListShown)
        panels.FocusSegmentList();
    else if (panels.SegmentListHasFocus())
        panels.FocusSegmentsButton();
}

void TogglePanel() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    s.PanelPinned = !s.PanelPinned;
    UpdateMenuState();
    LayoutPanels();
    FitPicture();
}

void ShowFilmProperties() {
    if (!HasSegments()) return;
    const Film& film = Shell().Window->LoadedFilm();
    std::string text = FormatText("%s\r\r" + Texts().SegmentCountFmt + "\r\r",
                                  {FilmPathForProperties(), int64_t{film.Count()}});
    for (int32_t i = 0; i < film.Count(); ++i) {
        const Segment* segment = film.Items(i);
        const std::string sound = GetSoundKind(segment->SoundFileName) == kSoundKindMp3 ? "mp3" : " - ";
        text += FormatText("[%d x %d x %d bit / %d fps  Sound: %s]:  %s\r",
                           {int64_t{segment->Width}, int64_t{segment->Height}, int64_t{segment->BitsPerPixel},
                            int64_t{segment->Fps}, sound, DecodeAnsi(segment->Title)});
    }
    ShowMessage(text, "Film properties", MsgIcon::Information, MsgOwner::MainWindow);
}

void ShowHelp() {
    const std::string program = Shell().Window != nullptr ? Shell().Window->State().ProgramPath : std::string();
    const HelpRoute route = ChooseHelpRoute(kHomePage, InstalledHelpDocuments(program));
    if (!route.Url.empty() && OpenUrl(route.Url)) return;
    ShowMessage(route.Message, Texts().Captions.Help, MsgIcon::Information, MsgOwner::MainWindow);
}

void ShowAboutBox() {
    AboutBox box(Shell().Window);
    RunDialog(box);
}

void ChooseFile() {
    MainWindow* window = Shell().Window;
    if (window == nullptr || !window->State().LoadAllowed) return;
    const std::string path = ChooseFilmPath(window);
    if (path.empty()) return;
    // The dialog ran events: the window may have closed meanwhile.
    if (Shell().Window != window) return;
    OpenFilm(path, false);
}

namespace {

// The old film's playback ends as a Stop ends it (its place remembered, the
// screen mode of its start back), but never closes the window.
void StopForAnotherFilm(MainWindow& window) {
    Player& player = window.ActivePlayer();
    RememberWhereFilmIs();
    window.State().PendingStart.reset();
    HidePictureNote(window);
    if (player.Clock().PlayState.load() == Stopped) return;
    player.StopPlaybackCommand();
    RestoreScreenMode();
}

// The panels, menus and drops after the film changed; the old player's events
// went with it.
void ShowFilmChanged(MainWindow& window) {
    const uint8_t state = window.ActivePlayer().Clock().PlayState.load();
    window.Panels().ShowPlayState(state);
    window.Panels().ShowSegment();
    window.Panels().RefreshTime();
    window.setAcceptDrops(DropsWelcome(state));
    UpdateMenuState();
    LayoutPanels();
    if (window.State().ClientArea != nullptr) window.State().ClientArea->update();
}

}  // namespace

void OpenFilm(const std::string& path, bool play) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    StopForAnotherFilm(*window);
    ClearPresentation(window->Presented());
    try {
        LoadFilmFile(path);
    } catch (...) {
        ShowFilmChanged(*window);
        throw;
    }
    const std::optional<FilmPosition> left = WhereFilmWasLeft();
    s.PendingStart = left;
    if (play)
        Play();
    else
        ShowStoppedFrame();
    window->DrainPlayerEvents();
    ShowFilmChanged(*window);
    if (left) ShowPictureNote(*window, ResumedNote(*left), s.PanelPinned ? kPanelHeight : 0);
}

void GoToFilmStart() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    window->State().PendingStart.reset();
    HidePictureNote(*window);
    if (!HasSegments()) return;
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
            if (HasSegments()) StartShellSegment(Shell().Window->ActivePlayer().Clock().CurrentSegment.load() - 1);
            break;
        case cmd::NextSegment:
            if (HasSegments()) StartShellSegment(Shell().Window->ActivePlayer().Clock().CurrentSegment.load() + 1);
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
