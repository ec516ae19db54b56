#include "shell/MainForm.h"

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

#include "engine/ClockState.h"
#include "engine/PlaybackClock.h"
#include "film/FilmReader.h"
#include "film/LanguageTable.h"
#include "film/SegmentList.h"
#include "film/Texts.h"
#include "film/WorkDir.h"
#include "platform/SdlAudioOutput.h"
#include "platform/TempPath.h"
#include "shell/AboutBox.h"
#include "shell/CaptionTexts.h"
#include "shell/Commands.h"
#include "shell/DesktopKeys.h"
#include "shell/Geometry.h"
#include "shell/Menus.h"
#include "shell/PanelBinding.h"
#include "shell/Presentation.h"
#include "shell/SettingsBinding.h"
#include "shell/ShellFilm.h"
#include "shell/ShellState.h"
#include "shell/Signals.h"
#include "shell/WindowTitle.h"
#include "sound/ClockSound.h"
#include "sound/SoundTrack.h"

namespace movarel {

ShellState& Shell() {
    static ShellState state;
    return state;
}

namespace {

const QEvent::Type kPostedMessageEvent = static_cast<QEvent::Type>(QEvent::User + 100);

class TqxPostedMessage : public QEvent {
public:
    TqxPostedMessage(uint32_t message, uintptr_t wParam, uintptr_t lParam)
        : QEvent(kPostedMessageEvent), Message(message), WParam(wParam), LParam(lParam) {}
    uint32_t Message;
    uintptr_t WParam;
    uintptr_t LParam;
};

struct ModalParts {
    OpenFileDialogFn OpenDialog;
    DialogRunnerFn DialogRunner;
};

ModalParts& Modals() {
    static ModalParts parts;
    return parts;
}

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
    OpenFileDialogFn previous = std::move(Modals().OpenDialog);
    Modals().OpenDialog = std::move(fn);
    return previous;
}

DialogRunnerFn SetDialogRunner(DialogRunnerFn fn) {
    DialogRunnerFn previous = std::move(Modals().DialogRunner);
    Modals().DialogRunner = std::move(fn);
    return previous;
}

void RunDialog(QDialog& dialog) {
    if (Modals().DialogRunner)
        Modals().DialogRunner(dialog);
    else
        dialog.exec();
}

std::string ChooseFilmPath(QWidget* owner) {
    if (Modals().OpenDialog) return Modals().OpenDialog(owner);
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
            QWidget* owner = request.owner == MsgOwner::MainWindow ? Shell().MainWindow : nullptr;
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

TqxClientArea::TqxClientArea(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

namespace {
// With MOVAREL_STARTUP_TRACE set, the first painted frame is announced on
// standard error, so the start-up time can be measured from outside.
void ReportFirstFramePainted() {
    static bool reported = false;
    if (reported) return;
    reported = true;
    if (std::getenv("MOVAREL_STARTUP_TRACE") != nullptr) std::fprintf(stderr, "movarel: first frame painted\n");
}
}  // namespace

void TqxClientArea::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const uint8_t state = Clock().PlayState.load();
    // Full screen shows the film alone: nothing but black around it.
    const QBrush background =
        Shell().FullScreen && state != Stopped ? QBrush(Qt::black) : palette().brush(QPalette::Window);
    const TSegmentInfo* segment = CurrentSegmentInfo();
    if (state == Stopped || segment == nullptr) {
        painter.fillRect(event->rect(), background);
    } else {
        const PictureGeometry g = CurrentGeometry();
        EraseBorders(painter, rect(), g, background);
        if (Presentation().HasFrame) {
            PaintFrame(painter, g, segment->Fps, event->region(), background);
            ReportFirstFramePainted();
        }
        else
            painter.fillRect(g.FrameRect(), Qt::black);
    }
    if (Shell().LoadingTextShown) {
        QFont font("Times New Roman");
        font.setPixelSize(18);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QPoint(16, 16 + painter.fontMetrics().ascent()), QString::fromStdString(Texts().Loading));
    }
}

void TqxClientArea::resizeEvent(QResizeEvent*) {
    GuardWndProc([] {
        RefreshClientRect();
        LayoutPanels();
        const uint8_t state = Clock().PlayState.load();
        if (state == Playing || state == Paused) FitPicture();
    });
}

void TqxClientArea::mouseMoveEvent(QMouseEvent* event) {
    const int y = static_cast<int>(event->position().y());
    GuardWndProc([y] { TrackMouse(y); });
}

void TqxClientArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) GuardWndProc([] { ShowPopupMenu(); });
}

// --- the main window ------------------------------------------------------------

TqxMainWindow::TqxMainWindow() {
    setWindowTitle("Movarel");
    setObjectName("QXAPP");
    setCentralWidget(new TqxClientArea(this));
    setMinimumSize(kMinWindowWidth, kMinWindowHeight);
    resize(kMinWindowWidth, kMinWindowHeight);
    setAcceptDrops(false);
}

TqxMainWindow::~TqxMainWindow() {
    if (Shell().MainWindow == this) Shell().MainWindow = nullptr;
}

void TqxMainWindow::PostToMainThread(uint32_t message, uintptr_t wParam, uintptr_t lParam) {
    QCoreApplication::postEvent(this, new TqxPostedMessage(message, wParam, lParam));
}

bool TqxMainWindow::HasMainWindow() const { return Shell().MainWindow == this; }

void TqxMainWindow::RunStopCommand() {
    OnGui([] { Stop(); });
}

void TqxMainWindow::PresentFrame(const Picture& picture) { movarel::PresentFrame(picture); }

void TqxMainWindow::PresentCursorArea(const Picture& picture, const PixelRect* rects, int count) {
    movarel::PresentCursorArea(picture, rects, count);
}

void TqxMainWindow::PlayStateChanged(int state) {
    OnGui([this, state] {
        setAcceptDrops(state == Stopped && Shell().HasStarted);
        ShowPanelPlayState(state);
        UpdateMenuState();
    });
}

void TqxMainWindow::RefreshTimeDisplay() { RefreshPanelTime(); }
void TqxMainWindow::ShowSegmentDescription() { ShowPanelSegment(); }
void TqxMainWindow::CheckAutoFullScreen() {
    OnGui([] { movarel::CheckAutoFullScreen(); });
}
void TqxMainWindow::RecalcGeometry() {
    OnGui([] { FitPicture(); });
}
void TqxMainWindow::SelectInSegmentList(int32_t index) { SelectSegmentInList(index); }
void TqxMainWindow::MinimizeMainWindow() {
    OnGui([this] { showMinimized(); });
}

bool TqxMainWindow::PumpPostedMessages() {
    if (!OnGuiThread()) return false;
    QCoreApplication::sendPostedEvents(this, kPostedMessageEvent);
    return true;
}

int32_t TqxMainWindow::ScreenWidth() const { return ScreenSize().width(); }
int32_t TqxMainWindow::ScreenHeight() const { return ScreenSize().height(); }

bool TqxMainWindow::event(QEvent* event) {
    if (event->type() == kPostedMessageEvent) {
        auto* posted = static_cast<TqxPostedMessage*>(event);
        const uint32_t message = posted->Message;
        const uintptr_t wParam = posted->WParam;
        const uintptr_t lParam = posted->LParam;
        GuardWndProc([this, message, wParam, lParam] { HandlePosted(message, wParam, lParam); });
        return true;
    }
    return QMainWindow::event(event);
}

void TqxMainWindow::HandlePosted(uint32_t message, uintptr_t wParam, uintptr_t lParam) {
    if (Shell().MainWindow != this) return;
    const bool handled = DispatchEngineMessage(message, wParam, lParam);
    if (handled && message == WM_COMMAND_MSG) {
        UpdateMenuState();
        LayoutPanels();
    }
}

void TqxMainWindow::closeEvent(QCloseEvent* event) {
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

void TqxMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (Clock().PlayState.load() == Stopped && !LocalFiles(event->mimeData()).empty())
        event->acceptProposedAction();
}

void TqxMainWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = LocalFiles(event->mimeData());
    event->acceptProposedAction();
    GuardWndProc([files] { DropFiles(files); });
}

// --- start-up and shutdown -----------------------------------------------------

AudioOutput& ShellAudioOutput() {
    static SdlAudioOutput output;
    return output;
}

namespace {
SoundTrack& ShellSoundTrack() {
    static SoundTrack track(ShellAudioOutput());
    return track;
}

ClockSound& ShellSound() {
    static ClockSound sound(ShellSoundTrack());
    return sound;
}
}  // namespace

void ShowLoadingText() {
    ShellState& s = Shell();
    if (s.ClientArea == nullptr) return;
    s.LoadingTextShown = true;
    s.ClientArea->repaint();
}

void InitMainWindow(TqxMainWindow* window, const std::vector<std::string>& args) {
    ShellState& s = Shell();
    s.MainWindow = window;
    s.ClientArea = window->centralWidget();
    s.HasStarted = false;

    CreatePanels(s.ClientArea);
    if (s.PanelSlideTimer == nullptr || s.PanelSlideTimer->parent() != window) {
        s.PanelSlideTimer = new QTimer(window);
        QObject::connect(s.PanelSlideTimer, &QTimer::timeout, [] { GuardWndProc([] { PanelSlideStep(); }); });
    }

    FilmLoadHooks& hooks = LoadHooks();
    hooks.ShowLoadingText = [] { ShowLoadingText(); };
    hooks.RefreshSegmentList = [] {
        if (Shell().SegmentListShown) FillSegmentList();
    };
    hooks.SetWindowCaption = [](const std::string& caption) {
        SetFilmCaption(caption);
    };
    hooks.InvalidateMainWindow = [] {
        Shell().LoadingTextShown = false;
        if (Shell().ClientArea != nullptr) Shell().ClientArea->update();
    };
    hooks.OwnExecutablePath = [] { return Shell().ProgramPath; };

    Presentation().RequestRepaint = [area = s.ClientArea] {
        QMetaObject::invokeMethod(
            area,
            [area] {
                const QRegion changed = TakePresentation(CurrentGeometry());
                if (!changed.isEmpty()) area->update(changed);
            },
            Qt::QueuedConnection);
    };

    SetupEngine(window, &ShellSound());
    Clock().TicksPerFrame = 1;
    s.PanelSliding = false;

    Captions() = CaptionTexts();
    BuildMenus(window);
    SetFilmCaption("Movarel");
    ApplyMenuLanguage();
    ApplyPanelTooltips(Captions());
    InstallDesktopKeys(window);

    const CommandLineResult parsed =
        ParseCommandLine(args, ScreenSize().width(), ScreenSize().height(), BaseName(s.ProgramPath));
    s.CommandLine = parsed.Settings;
    for (const MessageRequest& m : parsed.Messages) ShowMessage(m.text, m.caption, m.icon, m.owner);
    ApplyRememberedSettings(args, s.CommandLine);

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
    std::unique_ptr<TqxFileStream> stream;
    try {
        stream = std::make_unique<TqxFileStream>(s.FilmSource, kModeReadShared);
    } catch (const EqxError&) {
        ShowMessage(FormatText(Texts().CannotOpenFileFmt, {s.FilmSource}), Texts().Error, MsgIcon::Error,
                    MsgOwner::MainWindow);
        return;
    }
    ShowLoadingText();
    try {
        s.LoadAllowed = !LoadStartupFilm(*stream, !c.FilmPath.empty());
        // The caption names a film from the command line as the open dialog's.
        if (!s.LoadAllowed) SetFilmCaption(FilmWindowCaption(s.FilmSource));
        if (!c.FilmPath.empty() && SegmentList().Count() > 0) RememberFilm(c.FilmPath);
    } catch (...) {
        s.LoadingTextShown = false;
        throw;
    }
    stream.reset();
    s.LoadingTextShown = false;
    RepaintPanel();
    s.ClientArea->update();

    s.HasStarted = true;
    // 0 or less plays nothing; the subtraction cannot overflow.
    if (c.StartSegmentNumber > 0) StartSegment(c.StartSegmentNumber - 1);
    window->setAcceptDrops(Clock().PlayState.load() == Stopped);
    UpdateMenuState();
}

void DoneMainWindow() {
    ShellState& s = Shell();
    if (s.MainWindow == nullptr || s.Closing) return;
    s.Closing = true;
    SaveRememberedSettings();
    if (TimerRunning()) Stop();
    StopTimer();
    ShellSoundTrack().Stop();
    {
        std::lock_guard<std::recursive_mutex> lock(EngineLock().Native());
        ClearPresentation();
        s.MainWindow = nullptr;
    }
    if (s.PanelSlideTimer != nullptr) s.PanelSlideTimer->stop();
    Presentation().RequestRepaint = nullptr;
    SetupEngine(nullptr, nullptr);
}

void CloseMainWindow() {
    ShellState& s = Shell();
    if (s.MainWindow == nullptr || s.Closing) return;
    // The window's close handler runs DoneMainWindow.
    s.MainWindow->close();
}

void DropFiles(const std::vector<std::string>& paths) {
    ShellState& s = Shell();
    // A drop never loads over a film that plays or is paused.
    if (paths.empty() || !s.HasStarted || Clock().PlayState.load() != Stopped) return;
    const std::string& name = paths.front();
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.size() < 4 || lower.compare(lower.size() - 4, 4, ".qxf") != 0) return;
    ClearPresentation();
    LoadFilmFile(name);
    Play();
    UpdateMenuState();
    LayoutPanels();
}

// --- the whole run --------------------------------------------------------------

int RunPlayer(int argc, char** argv) {
    // SDL must not take over SIGINT and SIGTERM from the event loop.
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
    QApplication app(argc, argv);
    InstallQtMessageBoxes();
    InstallTerminationSignals();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    TqxMainWindow* window = StartPlayer(args, ProgramPathOf(argc > 0 ? argv[0] : nullptr));
    int code = 0;
    try {
        // A signal taken in a box during start-up has ended the player already.
        if (Shell().MainWindow != nullptr && TerminationSignal() == 0) code = app.exec();
    } catch (...) {
        code = 1;
    }
    FinishPlayer(window);
    RemoveTerminationSignals();
    // Ended by a signal: the conventional status, after the same clean-up.
    if (TerminationSignal() != 0) code = 128 + TerminationSignal();
    return code;
}

TqxMainWindow* StartPlayer(const std::vector<std::string>& args, const std::string& programPath) {
    ShellState& s = Shell();
    s = ShellState();
    s.ProgramPath = programPath;
    SetDefaultTexts();
    // No table (or a trailer that does not fit the file) keeps the English texts.
    ReadAppendedLanguageTable(programPath);
    ApplyMessageTexts();
    // A player or tool that was killed left its work directory; nobody else
    // will ever remove it.
    const std::string temp = GetTempPath();
    RemoveStaleWorkDirectories(temp);
    WorkDirectory work = WorkDirectory::Create(temp);
    WorkDir() = work.Path();

    Clock().PlayState = Stopped;
    Clock().Period = 100;
    s.PanelPinned = true;
    s.FullScreen = false;
    s.SegmentListShown = false;
    s.MainIcon = MakeMainIcon();
    QApplication::setWindowIcon(s.MainIcon);

    auto* window = new TqxMainWindow();
    window->KeepWorkDirectory(std::move(work));
    window->setWindowIcon(s.MainIcon);
    GuardWndProc([window, &args] { InitMainWindow(window, args); });
    // A start-up that closed the window (close-on-finish with nothing to
    // play) ends the program at once.
    return window;
}

void FinishPlayer(TqxMainWindow* window) {
    if (Shell().MainWindow != nullptr) DoneMainWindow();
    // Held until the segment files are gone and the folder is removed.
    WorkDirectory work = window != nullptr ? window->TakeWorkDirectory() : WorkDirectory();
    delete window;
    Menus() = MenuState();
    Shell().PanelSlideTimer = nullptr;
    Shell().ClientArea = nullptr;
    Shell().BottomPanelWindow = nullptr;
    Shell().SegmentListWindow = nullptr;
    SegmentList().Clear();
    work.Remove();
    WorkDir().clear();
}

}  // namespace movarel
