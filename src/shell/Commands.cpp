#include "shell/Commands.h"

#include <QMainWindow>

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
        // Stopped on a frame a seek showed: playing goes on from it, its
        // segment already prepared.
        if (player.Clock().FrameIndex.load() >= 0)
            player.StartTimer();
        else if (!StartShellSegment(player.Clock().CurrentSegment.load()))
            return;
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
    // Loading is offered only while stopped; a key that reaches here in
    // another state is refused, so a playing film is never loaded over.
    if (window == nullptr || window->ActivePlayer().Clock().PlayState.load() != Stopped) return;
    const std::string path = ChooseFilmPath(window);
    if (path.empty()) return;
    // The dialog ran events: the window may have closed meanwhile.
    if (Shell().Window != window) return;
    ClearPresentation(window->Presented());
    LoadFilmFile(path);
    // The film is not started here, so the panel would go on describing the
    // previous one (or an empty list) until Play.
    window->Panels().ShowSegment();
    if (window->State().ClientArea != nullptr) window->State().ClientArea->update();
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
        case cmd::FirstFrame: GoToFirstFrame(); break;
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
