#include "shell/DesktopKeys.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QWheelEvent>

#include <functional>

#include "controls/BottomPanel.h"
#include "controls/Slider.h"
#include "engine/PlaybackClock.h"
#include "engine/Command.h"
#include "platform/Texts.h"
#include "shell/Commands.h"
#include "shell/FrameExport.h"
#include "shell/MainWindow.h"
#include "shell/Menus.h"
#include "shell/PanelBinding.h"
#include "shell/PlayerVolume.h"
#include "shell/FramePresentation.h"
#include "shell/RememberedSettings.h"
#include "shell/SeekKeys.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

void WheelVolume(MainWindow& window, const QWheelEvent* wheel) {
    int& rest = window.DesktopMenuItems().WheelRest;
    rest += wheel->angleDelta().y();
    const int notches = rest / QWheelEvent::DefaultDeltasPerStep;
    rest -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0) GuardWndProc([&window, notches] { window.Volume().Step(notches); });
}

// Watches the main window (keys its children left alone), the client area
// (the picture's double click and wheel) and the volume slider (its wheel).
class DesktopInput : public QObject {
public:
    DesktopInput(MainWindow& window, QWidget* clientArea, QWidget* volumeSlider)
        : QObject(&window), window_(window), clientArea_(clientArea), volumeSlider_(volumeSlider) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress: {
                // The segment list takes its own Esc (it hides the list);
                // only an Esc nobody took gets here.
                const auto* key = static_cast<QKeyEvent*>(event);
                if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && window_.State().FullScreen) {
                    RunCommand(cmd::FullScreen);
                    return true;
                }
                break;
            }
            case QEvent::MouseButtonDblClick:
                if (watched == clientArea_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                    RunCommand(cmd::FullScreen);
                    return true;
                }
                break;
            case QEvent::Wheel: {
                // A wheel over the other panel controls comes up to the client
                // area too; only the picture and the volume slider take it.
                const auto* wheel = static_cast<QWheelEvent*>(event);
                const bool overPicture =
                    watched == clientArea_ && clientArea_->childAt(wheel->position().toPoint()) == nullptr;
                if (watched == volumeSlider_ || overPicture) {
                    WheelVolume(window_, wheel);
                    return true;
                }
                break;
            }
            default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    MainWindow& window_;
    QPointer<QWidget> clientArea_;
    QPointer<QWidget> volumeSlider_;
};

void AddKey(MainWindow& window, const QKeySequence& key, std::function<void()> run) {
    auto* action = new QAction(&window);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, [run = std::move(run)] { GuardWndProc(run); });
    window.addAction(action);
}

void FillRecentMenu(MainWindow& window) {
    QMenu* menu = window.DesktopMenuItems().Recent;
    if (menu == nullptr) return;
    menu->clear();
    const QStringList films = window.Settings().RecentFilms();
    // Loading follows File > Load's rule: only while it is enabled (not
    // after a self-playing film started).
    const bool allowed = CommandEnabled(window.Menus(), cmd::Load);
    for (const QString& film : films) {
        QAction* action = menu->addAction(film);
        action->setEnabled(allowed);
        const std::string path = film.toStdString();
        QObject::connect(action, &QAction::triggered, [path] { OpenRecentFilm(path); });
    }
    menu->setEnabled(!films.isEmpty());
}

}  // namespace

void OpenRecentFilm(const std::string& path) {
    // Through the Load command itself, with the dialog answered by path.
    OpenFileDialogFn previous = SetOpenFileDialog([path](QWidget*) { return path; });
    RunCommand(cmd::Load);
    SetOpenFileDialog(std::move(previous));
}

void InstallDesktopKeys(MainWindow& window) {
    QWidget* clientArea = window.centralWidget();
    BottomPanel* panel = window.Panels().Panel();
    QWidget* volume = panel != nullptr ? panel->volumeSlider() : nullptr;
    auto* input = new DesktopInput(window, clientArea, volume);
    window.installEventFilter(input);
    if (clientArea != nullptr) clientArea->installEventFilter(input);
    if (volume != nullptr) volume->installEventFilter(input);
    DesktopItems& items = window.DesktopMenuItems();
    items.WheelRest = 0;

    PlayerVolume& sound = window.Volume();
    AddKey(window, QKeySequence(Qt::Key_F), [] { DoCommand(cmd::FullScreen); });
    AddKey(window, QKeySequence(Qt::Key_M), [&sound] { sound.ToggleMute(); });
    AddKey(window, QKeySequence(Qt::Key_9), [&sound] { sound.Step(-1); });
    AddKey(window, QKeySequence(Qt::Key_0), [&sound] { sound.Step(1); });
    AddKey(window, QKeySequence(Qt::CTRL | Qt::Key_C), [] { CopyFrameToClipboard(); });
    AddKey(window, QKeySequence(Qt::CTRL | Qt::Key_S), [] { SaveFrame(); });
    InstallSeekKeys(window);

    // Into the File menu after Properties, before the separator above Exit.
    QMenu* file = window.Menus().FileMenu;
    if (file == nullptr) return;
    QAction* separator = MenuItem(file, 2);
    auto* save = new QAction(file);
    QObject::connect(save, &QAction::triggered, [] { GuardWndProc([] { SaveFrame(); }); });
    auto* recent = new QMenu(file);
    QObject::connect(recent, &QMenu::aboutToShow, [&window] { GuardWndProc([&window] { FillRecentMenu(window); }); });
    // Grey while there is no picture to save.
    QObject::connect(file, &QMenu::aboutToShow, save, [save, &window] {
        save->setEnabled(Shell().Window == &window && window.ActivePlayer().Clock().PlayState.load() != Stopped &&
                         window.Presented().HasFrame);
    });
    file->insertAction(separator, save);
    file->insertMenu(separator, recent);
    items.SaveFrame = save;
    items.Recent = recent;
    ApplyDesktopMenuLanguage(window);
    FillRecentMenu(window);
}

void ApplyDesktopMenuLanguage(MainWindow& window) {
    const CaptionTexts& c = Texts().Captions;
    DesktopItems& items = window.DesktopMenuItems();
    if (QAction* resume = MenuItem(window.Menus().ViewMenu, kResumeFilmsItem))
        resume->setText(QString::fromStdString(c.ResumeFilms));
    if (items.SaveFrame != nullptr) items.SaveFrame->setText(QString::fromStdString(c.SaveFrame + "...\tCtrl+S"));
    if (items.Recent != nullptr) items.Recent->setTitle(QString::fromStdString(c.Recent));
}

}  // namespace movarel
