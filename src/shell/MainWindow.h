#pragma once
// The main window: start-up and shutdown of the window, the window's events
// (paint, size, mouse, drops), the loaded film and the player that plays it,
// whose events it hands to the panels and menus.
#include <QMainWindow>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/FrameSink.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "platform/SdlAudioOutput.h"
#include "platform/WorkDirectory.h"
#include "shell/DesktopKeys.h"
#include "shell/FramePresentation.h"
#include "shell/Geometry.h"
#include "shell/Menus.h"
#include "shell/PanelBinding.h"
#include "shell/PictureNote.h"
#include "shell/PlayerVolume.h"
#include "shell/PointerWatch.h"
#include "shell/ShellState.h"
#include "shell/WindowState.h"
#include "shell/WindowTitle.h"
#include "sound/SoundTrack.h"

class QDialog;
class QPainter;

namespace movarel {

class MainWindow;
class RememberedSettings;

// The area below the menu bar: the picture is drawn here and the panels are
// its children.
class PictureArea : public QWidget {
    Q_OBJECT
public:
    explicit PictureArea(MainWindow& owner);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // A player without a film says how to get one.
    void PaintDropHint(QPainter& painter);

    MainWindow& owner;
    // With MOVAREL_STARTUP_TRACE set, the first painted frame is announced
    // on standard error, so the start-up time can be measured from outside.
    bool firstFrameReported = false;
};

class MainWindow : public QMainWindow, public FrameSink {
    Q_OBJECT
public:
    MainWindow();
    ~MainWindow() override;

    // FrameSink (the timer thread).
    void PresentFrame(const Picture& picture) override;
    void PresentCursorArea(const Picture& picture, const PixelRect* rects, int count) override;

    // The loaded film (an empty one before the first) and its player.
    const Film& LoadedFilm() const { return *film; }
    Player& ActivePlayer() { return *player; }
    // Makes film the loaded one, with a new player for it; the old player
    // is stopped and goes first, then the old film with its files.
    void SetFilm(std::unique_ptr<Film> next);
    // Hands the player's queued events to the panels and menus (GUI thread).
    void DrainPlayerEvents();
    // Tells the player the screen's size as it is now (before a segment starts).
    void RefreshScreen();
    // The pictures presented, between the timer thread and the painter.
    PresentationState& Presented() { return presentation; }
    // The bottom panel and the segment list, fed from this window's film and player.
    PanelBinding& Panels() { return panels; }
    // What the window's commands and layout work with.
    WindowState& State() { return state; }
    MenuState& Menus() { return menus; }
    DesktopItems& DesktopMenuItems() { return desktopItems; }
    TitleParts& Title() { return title; }
    PointerState& Pointer() { return pointer; }
    NoteParts& Note() { return note; }
    // The picture's place as the painter reads it.
    GeometrySnapshot& Geometry() { return pictureGeometry; }
    // The sound the window's players play, its output and the user's volume.
    SoundTrack& Sound() { return sound; }
    PlayerVolume& Volume() { return volume; }
    // The remembered settings; opened on first use, again by OpenSettings.
    RememberedSettings& Settings();
    void OpenSettings();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void HandleEvent(const PlayerEvent& event);
    WindowState state;
    MenuState menus;
    DesktopItems desktopItems;
    TitleParts title;
    PointerState pointer;
    NoteParts note;
    GeometrySnapshot pictureGeometry;
    std::unique_ptr<RememberedSettings> settings;
    // The output, the sound and the volume outlive every player, which plays
    // into them.
    SdlAudioOutput audio;
    SoundTrack sound{audio};
    PlayerVolume volume{audio};
    // Declared before the player, which presents into it and asks them for
    // refreshes until it goes.
    PresentationState presentation;
    PanelBinding panels;
    std::unique_ptr<Film> film;
    std::unique_ptr<Player> player;
    std::atomic<bool> drainQueued{false};
    uint32_t filmsLoaded = 1;
};

// Runs a handler as the window procedure does: an exception becomes the
// "Error in WndProc" box, with the exception's message on the next line when
// it carries one, and the event counts as handled.
void GuardWndProc(const std::function<void()>& handler);

// Start-up of the main window: panels, menus, command line, placement, the
// start-up film and its first segment. args are the command-line arguments
// after the program name.
void InitMainWindow(MainWindow* window, const std::vector<std::string>& args);
// The window is going away: playback stopped, surfaces and sound released.
void DoneMainWindow();
// Draws the loading text on the main window at once.
void ShowLoadingText();

// Dropped files: the first one is loaded and played when its extension is
// .qxf in any case (a film that plays is stopped for it); anything else is
// ignored.
void DropFiles(const std::vector<std::string>& paths);
// Whether drops load films in play state: once started, at any time, except
// while a self-playing film plays or is paused.
bool DropsWelcome(uint8_t state);

// Replaceable modal parts (ShellState.h), so tests never block: each setter
// returns the previous one.
OpenFileDialogFn SetOpenFileDialog(OpenFileDialogFn fn);
DialogRunnerFn SetDialogRunner(DialogRunnerFn fn);
void RunDialog(QDialog& dialog);

// The message-box service shown as Qt message boxes; from another thread the
// box is handed to the GUI thread without waiting.
void InstallQtMessageBoxes();

// Start-up up to the message loop (texts, language table of programPath, work
// directory, main window) and the clean-up after it (segment files deleted,
// work directory removed). Tests run the two around their own event loop.
MainWindow* StartPlayer(const std::vector<std::string>& args, const std::string& programPath);
void FinishPlayer(MainWindow* window);
// The open dialog (or its replacement): the chosen path, empty when cancelled.
std::string ChooseFilmPath(QWidget* owner);

// The whole player from the language table to the clean-up after the loop;
// returns the exit code.
int RunPlayer(int argc, char** argv);

}  // namespace movarel
