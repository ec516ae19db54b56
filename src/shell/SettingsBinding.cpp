#include "shell/SettingsBinding.h"

#include <QDir>
#include <QMainWindow>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>

#include "controls/BottomPanel.h"
#include "engine/PlaybackClock.h"
#include "shell/FilmLoading.h"
#include "shell/Geometry.h"
#include "shell/MainWindow.h"
#include "shell/PanelBinding.h"
#include "shell/PlayerVolume.h"
#include "shell/RememberedSettings.h"
#include "shell/Seeking.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

std::unique_ptr<RememberedSettings>& Store() {
    static std::unique_ptr<RememberedSettings> store;
    return store;
}

QString SettingsFile() {
    // Looked up at every start-up, not once per process: QSettings' own
    // default path would keep the first folder it saw.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty()) folder = QDir::homePath() + "/.config";
    return folder + "/movarel/movarel.conf";
}

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

RememberedSettings& PlayerSettings() {
    if (!Store()) Store() = std::make_unique<RememberedSettings>(SettingsFile());
    return *Store();
}

void ApplyRememberedSettings(const std::vector<std::string>& args, CommandLineSettings& settings) {
    Store() = std::make_unique<RememberedSettings>(SettingsFile());
    const RememberedState state = Store()->Load();
    ShellState& s = Shell();

    const QRect screen(QPoint(0, 0), ScreenSize());
    const QRect& window = state.WindowGeometry;
    if (!window.isNull()) {
        if (!NamesOption(args, "/size")) {
            settings.WindowWidth = std::max(window.width(), kMinWindowWidth);
            settings.WindowHeight = std::max(window.height(), kMinWindowHeight);
            if (state.WindowMaximized) settings.SizeMode = SizeMaximized;
        }
        // A place off every part of the screen (a screen that went) is not kept.
        if (!NamesOption(args, "/pos") && screen.intersects(window)) {
            settings.WindowX = std::max(window.x(), 0);
            settings.WindowY = std::max(window.y(), 0);
        }
    }
    if (state.PanelPinned) s.PanelPinned = *state.PanelPinned;
    if (BottomPanel* panel = Panel(); panel != nullptr && state.SpeedPosition)
        panel->setSpeedPosition(*state.SpeedPosition);
    // A factor between the slider's steps ("[" and "]") comes back as itself.
    if (state.SpeedFactor) SetShellSpeedFactor(*state.SpeedFactor);
    ResetPlayerVolume();
    if (state.VolumePercent) SetPlayerVolume(*state.VolumePercent);
    if (state.Muted) SetPlayerMuted(true);
}

void SaveRememberedSettings() {
    ShellState& s = Shell();
    if (s.Window == nullptr) return;
    RememberedSettings& store = PlayerSettings();
    RememberedState state = store.Load();
    state.VolumePercent = PlayerVolumePercent();
    state.Muted = PlayerVolumeMuted();
    if (BottomPanel* panel = Panel()) state.SpeedPosition = panel->speedPosition();
    const double factor = ShellClock().SpeedFactor;
    state.SpeedFactor = factor > 0 ? std::optional<double>(factor) : std::nullopt;
    // Full screen unpins the panel for its own time; the pin and the place
    // worth keeping are those it returns to.
    if (s.FullScreen) {
        state.PanelPinned = s.Saved.PanelPinned;
        state.WindowGeometry = QRect(s.Saved.X, s.Saved.Y, s.Saved.Width, s.Saved.Height);
        state.WindowMaximized = false;
    } else {
        state.PanelPinned = s.PanelPinned;
        state.WindowMaximized = s.Window->isMaximized();
        state.WindowGeometry = state.WindowMaximized ? s.Window->normalGeometry() : s.Window->geometry();
    }
    store.Save(state);
    store.Sync();
}

void RememberFilm(const std::string& path) {
    if (path.empty()) return;
    PlayerSettings().AddRecentFilm(QString::fromStdString(path));
    PlayerSettings().Sync();
}

QStringList RecentFilms() { return PlayerSettings().RecentFilms(); }

}  // namespace movarel
