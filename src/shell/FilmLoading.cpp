#include "shell/FilmLoading.h"

#include <filesystem>
#include <system_error>

#include "engine/Player.h"
#include "film/FilmReader.h"
#include "film/TextFormat.h"
#include "platform/Texts.h"
#include "platform/UserMessages.h"
#include "shell/MainWindow.h"
#include "shell/FramePresentation.h"
#include "shell/PanelBinding.h"
#include "shell/SettingsBinding.h"
#include "shell/WindowTitle.h"
#include "shell/ShellState.h"

namespace movarel {

bool StartShellSegment(int32_t index) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return false;
    window->RefreshScreen();
    const bool started = window->ActivePlayer().StartSegment(index);
    window->DrainPlayerEvents();
    return started;
}

bool StartFilmAt(const FilmPosition& point) {
    if (!StartShellSegment(point.Segment)) return false;
    MainWindow* window = Shell().Window;
    if (point.Frame > 0 && window != nullptr) {
        window->ActivePlayer().SeekTo(point.Segment, point.Frame);
        window->DrainPlayerEvents();
    }
    return true;
}

void ShowStoppedFrame() {
    MainWindow* window = Shell().Window;
    if (window == nullptr || window->LoadedFilm().Count() == 0) return;
    Player& player = window->ActivePlayer();
    if (player.Clock().PlayState.load() != Stopped) return;
    const FilmPosition at =
        window->State().PendingStart.value_or(FilmPosition{player.Clock().CurrentSegment.load(), 0});
    window->RefreshScreen();
    // A segment that cannot be shown leaves the picture area empty rather
    // than holding another segment's picture.
    if (!player.SeekTo(at.Segment, at.Frame)) ClearPresentation(window->Presented());
}

namespace {

// Installs what a read gave, the segments of a read that failed half-way
// included, and then reports the failure.
bool InstallRead(MainWindow* window, FilmRead read) {
    window->SetFilm(std::move(read.film));
    if (read.failure) std::rethrow_exception(read.failure);
    return read.isFilm;
}

// The old film and its folder go before the new one is read, so the new one
// takes the folder's name again.
WorkDirectory FreshWorkDirectory(MainWindow* window) {
    window->SetFilm(std::make_unique<Film>());
    return WorkDirectory::Create(GetTempPath());
}

}  // namespace

bool LoadStartupFilm(FileStream& stream, bool named) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return false;
    return InstallRead(window, LoadAppendedFilm(stream, FreshWorkDirectory(window), named));
}

void LoadFilmFile(const std::string& path) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    std::unique_ptr<FileStream> file;
    try {
        file = std::make_unique<FileStream>(path, kModeRead);
    } catch (const Error&) {
        ShowMessage(FormatText(Texts().CannotOpenFileFmt, {path}), Texts().Error, MsgIcon::Error,
                    MsgOwner::MainWindow);
        return;
    }
    // From the moment the file opens the film holds its segments, also those
    // of a read that fails half-way, so the source follows it then.
    auto finish = [&] {
        file.reset();
        window->State().LoadingTextShown = false;
        if (window->State().ClientArea != nullptr) window->State().ClientArea->update();
    };
    try {
        WorkDirectory work = FreshWorkDirectory(window);
        ShowLoadingText();
        const bool isFilm = InstallRead(window, ReadFilm(*file, std::move(work)));
        window->State().FilmSource = path;
        if (isFilm) RememberFilm(path);
        if (window->State().SegmentListShown) window->Panels().FillSegmentList();
        SetFilmCaption(FilmWindowCaption(path, window->State().ProgramPath));
    } catch (...) {
        window->State().FilmSource = path;
        finish();
        throw;
    }
    finish();
}

std::string FilmPathForProperties() {
    MainWindow* window = Shell().Window;
    const std::string source = window != nullptr ? window->State().FilmSource : std::string();
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(source, error);
    return error || source.empty() ? source : absolute.lexically_normal().string();
}

}  // namespace movarel
