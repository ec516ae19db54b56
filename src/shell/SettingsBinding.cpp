#include "shell/SettingsBinding.h"

#include <QDir>
#include <QMainWindow>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>
#include <optional>

#include "controls/BottomPanel.h"
#include "engine/PlaybackClock.h"
#include "shell/Geometry.h"
#include "shell/MainWindow.h"
#include "shell/PanelBinding.h"
#include "shell/PlayerVolume.h"
#include "shell/RememberedSettings.h"
#include "shell/Seeking.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

// The option words as the command line reads them: any case, '-' for '/'.
bool NamesOption(const std::vector<std::string>& args, const char* option) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string word = args[i];
        std::transform(word.begin(), word.end(), word.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (!word.empty() && word[0] == '-') word[0] = '/';
        // The first argument may be the film itself.
        if (word == option) return true;
    }
    return false;
}

}  // namespace

QString SettingsFile() {
    // Looked up for every window, not once per process: QSettings' own
    // default path would keep the first folder it saw.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty()) folder = QDir::homePath() + "/.config";
    return folder + "/movarel/movarel.conf";
}

void ApplyRememberedSettings(MainWindow& window, const std::vector<std::string>& args,
                             CommandLineSettings& settings) {
    window.OpenSettings();
    const RememberedState state = window.Settings().Load();
    WindowState& s = window.State();

    const QRect screen(QPoint(0, 0), ScreenSize());
    const QRect& placed = state.WindowGeometry;
    if (!placed.isNull()) {
        if (!NamesOption(args, "/size")) {
            settings.WindowWidth = std::max(placed.width(), kMinWindowWidth);
            settings.WindowHeight = std::max(placed.height(), kMinWindowHeight);
            if (state.WindowMaximized) settings.SizeMode = SizeMaximized;
        }
        // A place off every part of the screen (a screen that went) is not kept.
        if (!NamesOption(args, "/pos") && screen.intersects(placed)) {
            settings.WindowX = std::max(placed.x(), 0);
            settings.WindowY = std::max(placed.y(), 0);
        }
    }
    if (state.PanelPinned) s.PanelPinned = *state.PanelPinned;
    if (BottomPanel* panel = window.Panels().Panel(); panel != nullptr && state.SpeedPosition)
        panel->setSpeedPosition(*state.SpeedPosition);
    // A factor between the slider's steps ("[" and "]") comes back as itself.
    if (state.SpeedFactor) SetShellSpeedFactor(*state.SpeedFactor);
    if (state.VolumePercent) window.Volume().Set(*state.VolumePercent);
    if (state.Muted) window.Volume().SetMuted(true);
}

void SaveRememberedSettings(MainWindow& window) {
    const WindowState& s = window.State();
    RememberedSettings& store = window.Settings();
    RememberedState state = store.Load();
    state.VolumePercent = window.Volume().Percent();
    state.Muted = window.Volume().Muted();
    if (BottomPanel* panel = window.Panels().Panel()) state.SpeedPosition = panel->speedPosition();
    const double factor = window.ActivePlayer().Clock().SpeedFactor;
    state.SpeedFactor = factor > 0 ? std::optional<double>(factor) : std::nullopt;
    // Full screen unpins the panel for its own time; the pin and the place
    // worth keeping are those it returns to.
    if (s.FullScreen) {
        state.PanelPinned = s.Saved.PanelPinned;
        state.WindowGeometry = QRect(s.Saved.X, s.Saved.Y, s.Saved.Width, s.Saved.Height);
        state.WindowMaximized = false;
    } else {
        state.PanelPinned = s.PanelPinned;
        state.WindowMaximized = window.isMaximized();
        state.WindowGeometry = state.WindowMaximized ? window.normalGeometry() : window.geometry();
    }
    store.Save(state);
    store.Sync();
}

void RememberFilm(const std::string& path) {
    MainWindow* window = Shell().Window;
    if (path.empty() || window == nullptr) return;
    window->Settings().AddRecentFilm(QString::fromStdString(path));
    window->Settings().Sync();
}

}  // namespace movarel
