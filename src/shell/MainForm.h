#pragma once
// The main window: start-up and shutdown of the window, the window's events
// (paint, size, mouse, drops, posted engine and sound messages) and the
// EngineHost the playback engine talks to.
#include <QMainWindow>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/EngineHost.h"
#include "platform/WorkDirectory.h"

class QDialog;

namespace movarel {

// The area below the menu bar: the picture is drawn here and the panels are
// its children.
class TqxClientArea : public QWidget {
    Q_OBJECT
public:
    explicit TqxClientArea(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TqxMainWindow : public QMainWindow, public EngineHost {
    Q_OBJECT
public:
    TqxMainWindow();
    ~TqxMainWindow() override;

    // EngineHost.
    void PostToMainThread(uint32_t message, uintptr_t wParam, uintptr_t lParam) override;
    bool HasMainWindow() const override;
    void RunStopCommand() override;
    void PresentFrame(const Picture& picture) override;
    void PresentCursorArea(const Picture& picture, const PixelRect* rects, int count) override;
    void PlayStateChanged(int state) override;
    void RefreshTimeDisplay() override;
    void ShowSegmentDescription() override;
    void CheckAutoFullScreen() override;
    void RecalcGeometry() override;
    void SelectInSegmentList(int32_t index) override;
    void MinimizeMainWindow() override;
    bool PumpPostedMessages() override;
    int32_t ScreenWidth() const override;
    int32_t ScreenHeight() const override;

    // The player's work directory, held for as long as the window lives and
    // taken back for the clean-up after it.
    void KeepWorkDirectory(WorkDirectory dir) { FWorkDirectory = std::move(dir); }
    WorkDirectory TakeWorkDirectory() { return std::move(FWorkDirectory); }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void HandlePosted(uint32_t message, uintptr_t wParam, uintptr_t lParam);
    WorkDirectory FWorkDirectory;
};

// Runs a handler as the window procedure does: an exception becomes the
// "Error in WndProc" box, with the exception's message on the next line when
// it carries one, and the event counts as handled.
void GuardWndProc(const std::function<void()>& handler);

// Start-up of the main window: panels, menus, command line, placement, the
// start-up film and its first segment. args are the command-line arguments
// after the program name.
void InitMainWindow(TqxMainWindow* window, const std::vector<std::string>& args);
// The window is going away: playback stopped, surfaces and sound released.
void DoneMainWindow();
// Draws the loading text on the main window at once.
void ShowLoadingText();

// Dropped files: while stopped, the first one is loaded and played when its
// extension is .qxf in any case; anything else is ignored.
void DropFiles(const std::vector<std::string>& paths);

// Replaceable modal parts, so tests never block: the open dialog returns the
// chosen path or an empty string; the About box runner shows the box.
using OpenFileDialogFn = std::function<std::string(QWidget* owner)>;
OpenFileDialogFn SetOpenFileDialog(OpenFileDialogFn fn);
using DialogRunnerFn = std::function<void(QDialog& dialog)>;
DialogRunnerFn SetDialogRunner(DialogRunnerFn fn);
void RunDialog(QDialog& dialog);

// The message-box service shown as Qt message boxes; from another thread the
// box is handed to the GUI thread without waiting.
void InstallQtMessageBoxes();

// Start-up up to the message loop (texts, language table of programPath, work
// directory, main window) and the clean-up after it (segment files deleted,
// work directory removed). Tests run the two around their own event loop.
TqxMainWindow* StartPlayer(const std::vector<std::string>& args, const std::string& programPath);
void FinishPlayer(TqxMainWindow* window);
// The open dialog (or its replacement): the chosen path, empty when cancelled.
std::string ChooseFilmPath(QWidget* owner);

// The whole player from the language table to the clean-up after the loop;
// returns the exit code.
int RunPlayer(int argc, char** argv);

}  // namespace movarel
