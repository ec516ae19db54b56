#include "shell/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "controls/BottomPanel.h"
#include "engine/Player.h"
#include "film/FilmReader.h"
#include "film/LanguageTable.h"
#include "film/Film.h"
#include "film/TextFormat.h"
#include "platform/Texts.h"
#include "platform/SdlAudioOutput.h"
#include "platform/WorkDirectory.h"
#include "shell/AboutBox.h"
#include "shell/Commands.h"
#include "shell/DesktopKeys.h"
#include "shell/Seeking.h"
#include "shell/Geometry.h"
#include "shell/Menus.h"
#include "shell/PanelBinding.h"
#include "shell/PointerWatch.h"
#include "shell/RememberedSettings.h"
#include "shell/FramePresentation.h"
#include "shell/SettingsBinding.h"
#include "shell/FilmLoading.h"
#include "shell/FilmResume.h"
#include "shell/PictureNote.h"
#include "shell/ShellState.h"
#include "shell/Signals.h"
#include "shell/WindowTitle.h"
#include "sound/SoundTrack.h"

namespace movarel {

ShellState& Shell() {
    static ShellState state;
    return state;
}

namespace {

bool OnGuiThread() {
    return QCoreApplication::instance() == nullptr ||
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Runs fn on the GUI thread: at once when already there, else queued.
template <typename Fn>
void OnGui(Fn&& fn) {
    if (OnGuiThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::forward<Fn>(fn), Qt::QueuedConnection);
}

std::string ProgramPathOf(const char* argv0) {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0) return std::string(buffer, static_cast<size_t>(n));
    return argv0 ? argv0 : "";
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void GuardWndProc(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::runtime_error& e) {
        // The reason ("Cannot write file ...", a damaged cabinet, a bad MP3
        // header) is what the user can act on; the box names it below.
        ShowMessage(std::string("Error in WndProc\r") + e.what(), "Error", MsgIcon::Error, MsgOwner::MainWindow);
    } catch (...) {
        ShowMessage("Error in WndProc", "Error", MsgIcon::Error, MsgOwner::MainWindow);
    }
}

OpenFileDialogFn SetOpenFileDialog(OpenFileDialogFn fn) {
    OpenFileDialogFn previous = std::move(Shell().OpenDialog);
    Shell().OpenDialog = std::move(fn);
    return previous;
}

DialogRunnerFn SetDialogRunner(DialogRunnerFn fn) {
    DialogRunnerFn previous = std::move(Shell().DialogRunner);
    Shell().DialogRunner = std::move(fn);
    return previous;
}

void RunDialog(QDialog& dialog) {
    if (Shell().DialogRunner)
        Shell().DialogRunner(dialog);
    else
        dialog.exec();
}

std::string ChooseFilmPath(QWidget* owner) {
    if (Shell().OpenDialog) return Shell().OpenDialog(owner);
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter("Movarel films (*.qxf)");
    dialog.setDefaultSuffix("qxf");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
    return dialog.selectedFiles().first().toStdString();
}

void InstallQtMessageBoxes() {
    SetMessageBoxHandler([](const MessageRequest& request) {
        auto show = [request] {
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            switch (request.icon) {
                case MsgIcon::Error: icon = QMessageBox::Critical; break;
                case MsgIcon::Warning: icon = QMessageBox::Warning; break;
                case MsgIcon::Information: icon = QMessageBox::Information; break;
                case MsgIcon::None: break;
            }
            QWidget* owner = request.owner == MsgOwner::MainWindow ? Shell().Window : nullptr;
            QString text = QString::fromStdString(request.text);
            text.replace("\r\n", "\n");
            text.replace('\r', '\n');
            QMessageBox box(icon, QString::fromStdString(request.caption), text, QMessageBox::Ok, owner);
            box.exec();
        };
        // The timer thread never waits for the user. Its message asks again
        // on the GUI thread, through whatever handler is in force by then
        // (a player ending on a signal shows no more boxes).
        if (OnGuiThread())
            show();
        else
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [request] { ShowMessage(request.text, request.caption, request.icon, request.owner); },
                Qt::QueuedConnection);
    });
}


// --- the client area ----------------------------------------------------------

PictureArea::PictureArea(MainWindow& window) : QWidget(&window), owner(window) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureArea::PaintDropHint(QPainter& painter) {
    // Centred in the part of the area the panel leaves free.
    QRect free = rect();
    if (owner.State().PanelPinned) free.setBottom(free.bottom() - kPanelHeight);
    QFont font = painter.font();
    font.setPixelSize(16);
    painter.setFont(font);
    QColor pen = palette().color(QPalette::WindowText);
    pen.setAlpha(170);
    painter.setPen(pen);
    painter.drawText(free.adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap,
                     QString::fromStdString(Texts().Captions.DropHint));
}

void PictureArea::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // A window that closed shows no film any more.
    Player* player = Shell().Window == &owner ? &owner.ActivePlayer() : nullptr;
    const uint8_t state = player != nullptr ? player->Clock().PlayState.load() : uint8_t{Stopped};
    const WindowState& s = owner.State();
    // Full screen shows the film alone: nothing but black around it.
    const QBrush background =
        s.FullScreen && state != Stopped ? QBrush(Qt::black) : palette().brush(QPalette::Window);
    const Segment* segment = player != nullptr ? player->CurrentSegmentInfo() : nullptr;
    // A stopped film shows its still frame once there is one.
    const bool still = state == Stopped && segment != nullptr && owner.Presented().HasFrame;
    if ((state == Stopped && !still) || segment == nullptr) {
        painter.fillRect(event->rect(), background);
        if (owner.LoadedFilm().Count() == 0 && !s.LoadingTextShown) PaintDropHint(painter);
    } else {
        const PictureGeometry g = owner.Geometry().Current();
        EraseBorders(painter, rect(), g, background);
        PresentationState& presented = owner.Presented();
        if (presented.HasFrame) {
            PaintFrame(presented, painter, g, segment->Fps, event->region(), background);
            if (!firstFrameReported) {
                firstFrameReported = true;
                if (std::getenv("MOVAREL_STARTUP_TRACE") != nullptr)
                    std::fprintf(stderr, "movarel: first frame painted\n");
            }
        }
        else
            painter.fillRect(g.FrameRect(), Qt::black);
    }
    if (s.LoadingTextShown) {
        QFont font("Times New Roman");
        font.setPixelSize(18);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QPoint(16, 16 + painter.fontMetrics().ascent()), QString::fromStdString(Texts().Loading));
    }
}

void PictureArea::resizeEvent(QResizeEvent*) {
    GuardWndProc([this] {
        RefreshClientRect();
        LayoutPanels();
        const uint8_t state =
            Shell().Window == &owner ? owner.ActivePlayer().Clock().PlayState.load() : uint8_t{Stopped};
        if (state == Playing || state == Paused)
            FitPicture();
        else
            PlacePicture();
    });
}

void PictureArea::mouseMoveEvent(QMouseEvent* event) {
    const int y = static_cast<int>(event->position().y());
    GuardWndProc([y] { TrackMouse(y); });
}

void PictureArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) GuardWndProc([] { ShowPopupMenu(); });
}

// --- the main window ------------------------------------------------------------

MainWindow::MainWindow()
    : panels(PanelBinding::Source{[this]() -> const Film& { return *film; },
                                  [this] { return player.get(); },
                                  [](int32_t index) { return StartShellSegment(index); },
                                  [](const FilmPosition& position) { return SeekShell(position); },
                                  [](int id) { DoCommand(id); }},
             volume),
      film(std::make_unique<Film>()) {
    SetFilm(std::make_unique<Film>());
    setWindowTitle("Movarel");
    setObjectName("QXAPP");
    setCentralWidget(new PictureArea(*this));
    setMinimumSize(kMinWindowWidth, kMinWindowHeight);
    resize(kMinWindowWidth, kMinWindowHeight);
    setAcceptDrops(false);
}

MainWindow::~MainWindow() {
    if (Shell().Window == this) Shell().Window = nullptr;
}

RememberedSettings& MainWindow::Settings() {
    if (!settings) OpenSettings();
    return *settings;
}

void MainWindow::OpenSettings() { settings = std::make_unique<RememberedSettings>(SettingsFile()); }

void MainWindow::PresentFrame(const Picture& picture) { movarel::PresentFrame(presentation, picture); }

void MainWindow::PresentCursorArea(const Picture& picture, const PixelRect* rects, int count) {
    movarel::PresentCursorArea(presentation, picture, rects, count);
}

void MainWindow::SetFilm(std::unique_ptr<Film> next) {
    int32_t speed = kNormalSpeedPosition;
    double factor = 0;
    if (player) {
        speed = player->Clock().SpeedPosition;
        factor = player->Clock().SpeedFactor;
        player->StopPlaybackForLoad();
    }
    // The player reads the film: it goes first.
    player.reset();
    film = std::move(next);
    film->Serial = ++filmsLoaded;
    const QSize screen = ScreenSize();
    PlayerSetup setup;
    setup.Sink = this;
    setup.Sound = &sound;
    setup.Screen = ScreenInfo{screen.width(), screen.height(), 32};
    setup.SpeedPosition = speed;
    setup.SpeedFactor = factor;
    setup.Stop = [] { Stop(); };
    player = std::make_unique<Player>(*film, setup);
    // Whatever thread posts, the events are handled on the GUI thread; one
    // queued call at a time drains them all.
    player->Events().SetWatch([this](const PlayerEvent&) {
        if (drainQueued.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                drainQueued = false;
                GuardWndProc([this] { DrainPlayerEvents(); });
            },
            Qt::QueuedConnection);
    });
}

void MainWindow::RefreshScreen() {
    const QSize screen = ScreenSize();
    if (player) player->SetScreen(ScreenInfo{screen.width(), screen.height(), 32});
}

void MainWindow::DrainPlayerEvents() {
    // A window that is closing starts nothing more (a segment's end that was
    // still queued would start the next one).
    if (player && Shell().Window == this) {
        // A segment's end starts the next one here: on the screen as it is now.
        RefreshScreen();
        player->DrainEvents([this](const PlayerEvent& event) { HandleEvent(event); });
    }
}

void MainWindow::HandleEvent(const PlayerEvent& event) {
    if (Shell().Window != this) return;
    if (const auto* changed = std::get_if<PlayStateChanged>(&event)) {
        setAcceptDrops(DropsWelcome(changed->state));
        panels.ShowPlayState(changed->state);
        UpdateMenuState();
    } else if (const auto* started = std::get_if<SegmentStarted>(&event)) {
        panels.ShowSegment();
        if (started->minimize) showMinimized();
        const bool stopped = player->Clock().PlayState.load() == Stopped;
        if (started->prepared && stopped) {
            // A still frame: the window stays as it is until the film plays.
            PlacePicture();
        } else if (started->prepared) {
            if (started->fillsScreen && !state.FullScreen) ToggleFullScreen();
            // The segment starts from a stop, so the window may grow for it.
            FitPicture(true);
        } else if (stopped) {
            // Stopped on another segment (a Stop, a segment that would not
            // start): its first frame stands there.
            ShowStoppedFrame();
        }
        if (started->playing) panels.SelectSegmentInList(started->index);
    } else if (std::holds_alternative<TimeDisplayChanged>(event)) {
        panels.RefreshTime();
    } else if (std::holds_alternative<SegmentEnded>(event)) {
        UpdateMenuState();
        LayoutPanels();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    GuardWndProc([] { DoneMainWindow(); });
    event->accept();
}

namespace {
std::vector<std::string> LocalFiles(const QMimeData* mime) {
    std::vector<std::string> files;
    if (mime == nullptr || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
    return files;
}
}  // namespace

bool DropsWelcome(uint8_t state) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return false;
    const WindowState& s = window->State();
    // A self-playing film keeps the player to itself while it plays.
    return s.HasStarted && (s.LoadAllowed || state == Stopped);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (DropsWelcome(player->Clock().PlayState.load()) && !LocalFiles(event->mimeData()).empty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = LocalFiles(event->mimeData());
    event->acceptProposedAction();
    GuardWndProc([files] { DropFiles(files); });
}

// --- start-up and shutdown -----------------------------------------------------

void ShowLoadingText() {
    MainWindow* window = Shell().Window;
    if (window == nullptr || window->State().ClientArea == nullptr) return;
    window->State().LoadingTextShown = true;
    window->State().ClientArea->repaint();
}

void InitMainWindow(MainWindow* window, const std::vector<std::string>& args) {
    Shell().Window = window;
    WindowState& s = window->State();
    s.ClientArea = window->centralWidget();
    s.HasStarted = false;

    window->Panels().CreatePanels(s.ClientArea);
    StartPointerWatch(*window);
    if (s.PanelSlideTimer == nullptr || s.PanelSlideTimer->parent() != window) {
        s.PanelSlideTimer = new QTimer(window);
        QObject::connect(s.PanelSlideTimer, &QTimer::timeout, [] { GuardWndProc([] { PanelSlideStep(); }); });
    }

    window->Presented().RequestRepaint = [window, area = s.ClientArea] {
        QMetaObject::invokeMethod(
            area,
            [window, area] {
                const QRegion changed = TakePresentation(window->Presented(), window->Geometry().Current());
                if (!changed.isEmpty()) area->update(changed);
            },
            Qt::QueuedConnection);
    };

    s.PanelSliding = false;

    BuildMenus(*window);
    SetFilmCaption("Movarel");
    ApplyMenuLanguage(*window);
    window->Panels().ApplyTooltips(Texts().Captions);
    InstallDesktopKeys(*window);

    const CommandLineResult parsed =
        ParseCommandLine(args, ScreenSize().width(), ScreenSize().height(), BaseName(s.ProgramPath));
    s.CommandLine = parsed.Settings;
    for (const MessageRequest& m : parsed.Messages) ShowMessage(m.text, m.caption, m.icon, m.owner);
    ApplyRememberedSettings(*window, args, s.CommandLine);

    const CommandLineSettings& c = s.CommandLine;
    if (c.FullScreenRequested) {
        s.PanelPinned = false;
        s.FullScreen = true;
        ShowWindowFullScreen(window);
    } else if (c.SizeMode == SizeMaximized) {
        window->showMaximized();
    } else {
        window->setGeometry(c.WindowX, c.WindowY, c.WindowWidth, c.WindowHeight);
        window->show();
    }
    // Without a window manager nobody gives the new window the keyboard
    // focus, and no key would work before a click into it.
    window->activateWindow();

    // Stop returns to the mode of the start, not to windowed mode, when the
    // command line asked for full screen.
    s.FullScreenAtPlay = s.FullScreen;

    RefreshClientRect();
    LayoutSegmentList();
    UpdateMenuState();
    LayoutPanels();

    s.FilmSource = c.FilmPath.empty() ? s.ProgramPath : c.FilmPath;
    std::unique_ptr<FileStream> stream;
    try {
        stream = std::make_unique<FileStream>(s.FilmSource, kModeReadShared);
    } catch (const Error&) {
        ShowMessage(FormatText(Texts().CannotOpenFileFmt, {s.FilmSource}), Texts().Error, MsgIcon::Error,
                    MsgOwner::MainWindow);
        // Nothing was loaded: the player waits for a film like one started
        // without any.
        s.LoadAllowed = true;
        s.HasStarted = true;
        window->setAcceptDrops(true);
        UpdateMenuState();
        return;
    }
    ShowLoadingText();
    try {
        const bool found = LoadStartupFilm(*stream, !c.FilmPath.empty());
        // Only a self-playing film keeps Load from the user: a film named on
        // the command line is one the user opened, and may open another.
        s.LoadAllowed = !found || !c.FilmPath.empty();
        // The caption names a film from the command line as the open dialog's.
        if (found) SetFilmCaption(FilmWindowCaption(s.FilmSource, s.ProgramPath));
        if (!c.FilmPath.empty() && window->LoadedFilm().Count() > 0) RememberFilm(c.FilmPath);
    } catch (...) {
        s.LoadingTextShown = false;
        throw;
    }
    stream.reset();
    s.LoadingTextShown = false;
    window->Panels().Repaint();
    s.ClientArea->update();

    s.HasStarted = true;
    // /segm or /start name where to start; without them a film opened again
    // goes on from where it was left.
    const std::optional<FilmPosition> left =
        c.StartSegmentGiven || c.StartSeconds >= 0 ? std::nullopt : WhereFilmWasLeft();
    s.PendingStart = left;
    if (left && c.StartSegmentNumber > 0) {
        s.PendingStart.reset();
        if (c.SpeedFactor > 0) SetShellSpeedFactor(c.SpeedFactor);
        StartFilmAt(*left);
    } else {
        // /speed, then the start segment or /start's time; 0 or less plays nothing.
        StartFromCommandLine(c);
        if (c.StartSegmentNumber <= 0) ShowStoppedFrame();
    }
    window->DrainPlayerEvents();
    window->setAcceptDrops(DropsWelcome(window->ActivePlayer().Clock().PlayState.load()));
    UpdateMenuState();
    if (left && Shell().Window == window)
        ShowPictureNote(*window, ResumedNote(*left), s.PanelPinned ? kPanelHeight : 0);
}

void DoneMainWindow() {
    MainWindow* window = Shell().Window;
    if (window == nullptr || window->State().Closing) return;
    WindowState& s = window->State();
    s.Closing = true;
    SaveRememberedSettings(*window);
    RememberWhereFilmIs();
    Player& player = window->ActivePlayer();
    if (player.TimerRunning()) Stop();
    player.StopTimer();
    window->Sound().Stop();
    {
        std::lock_guard<std::recursive_mutex> lock(player.EngineLock());
        ClearPresentation(window->Presented());
        window->Presented().RequestRepaint = nullptr;
        Shell().Window = nullptr;
    }
    if (s.PanelSlideTimer != nullptr) s.PanelSlideTimer->stop();
}

void CloseMainWindow() {
    MainWindow* window = Shell().Window;
    if (window == nullptr || window->State().Closing) return;
    // The window's close handler runs DoneMainWindow.
    window->close();
}

void DropFiles(const std::vector<std::string>& paths) {
    MainWindow* window = Shell().Window;
    if (paths.empty() || window == nullptr || !DropsWelcome(window->ActivePlayer().Clock().PlayState.load())) return;
    const std::string& name = paths.front();
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.size() < 4 || lower.compare(lower.size() - 4, 4, ".qxf") != 0) return;
    OpenFilm(name, true);
}

// --- the whole run --------------------------------------------------------------

int RunPlayer(int argc, char** argv) {
    // SDL must not take over SIGINT and SIGTERM from the event loop.
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
    QApplication app(argc, argv);
    InstallQtMessageBoxes();
    TerminationSignals termination;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    MainWindow* window = StartPlayer(args, ProgramPathOf(argc > 0 ? argv[0] : nullptr));
    int code = 0;
    try {
        // A signal taken in a box during start-up has ended the player already.
        if (Shell().Window != nullptr && termination.Received() == 0) code = app.exec();
    } catch (...) {
        code = 1;
    }
    FinishPlayer(window);
    termination.Remove();
    // Ended by a signal: the conventional status, after the same clean-up.
    if (termination.Received() != 0) code = 128 + termination.Received();
    return code;
}

MainWindow* StartPlayer(const std::vector<std::string>& args, const std::string& programPath) {
    Shell().Window = nullptr;
    SetDefaultTexts();
    // No table (or a trailer that does not fit the file) keeps the English texts.
    ReadAppendedLanguageTable(programPath);
    ApplyMessageTexts();
    ApplyCaptionTexts();
    // A player or tool that was killed left its work directory; nobody else
    // will ever remove it.
    const std::string temp = GetTempPath();
    RemoveStaleWorkDirectories(temp);

    const QIcon icon = MakeMainIcon();
    QApplication::setWindowIcon(icon);

    auto* window = new MainWindow();
    window->State().ProgramPath = programPath;
    // The player's folder is there from the start, held by the (empty) film.
    window->SetFilm(std::make_unique<Film>(WorkDirectory::Create(temp)));
    window->setWindowIcon(icon);
    GuardWndProc([window, &args] { InitMainWindow(window, args); });
    // A start-up that closed the window (close-on-finish with nothing to
    // play) ends the program at once.
    return window;
}

void FinishPlayer(MainWindow* window) {
    if (Shell().Window != nullptr) DoneMainWindow();
    // The film goes with the window: its files, then its folder, and all
    // the window's state with them.
    delete window;
}

}  // namespace movarel
