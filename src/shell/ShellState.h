#pragma once
// What the GUI has once per process: the main window, and the modal parts
// tests replace so that nothing blocks. Everything else belongs to the
// window (WindowState.h and the members of MainWindow). GUI thread only.
#include <QString>

#include <functional>
#include <string>

class QDialog;
class QWidget;

namespace movarel {

class MainWindow;

// The open dialog: the chosen path, empty when cancelled.
using OpenFileDialogFn = std::function<std::string(QWidget* owner)>;
// Runs a modal dialog (the About box) to its end.
using DialogRunnerFn = std::function<void(QDialog& dialog)>;
// Opens a web page or a local document; false when nothing took it.
using UrlOpenerFn = std::function<bool(const std::string& url)>;
// The save dialog of a frame: the chosen path, empty when cancelled.
using SaveFrameDialogFn = std::function<QString(QWidget* owner, const QString& suggested)>;

struct ShellState {
    // The main window: none until its start-up and again from its close on.
    MainWindow* Window = nullptr;
    // Replacements of the modal parts; empty ones leave the real dialogs
    // and the desktop's opener in force.
    OpenFileDialogFn OpenDialog;
    DialogRunnerFn DialogRunner;
    UrlOpenerFn UrlOpener;
    SaveFrameDialogFn SaveFrameDialog;
};

ShellState& Shell();

}  // namespace movarel
