#include "shell/DesktopKeys.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QWheelEvent>

#include "controls/BottomPanel.h"
#include "controls/Slider.h"
#include "engine/PlaybackClock.h"
#include "engine/Command.h"
#include "film/LanguageTable.h"
#include "shell/CaptionTexts.h"
#include "shell/Commands.h"
#include "shell/FrameExport.h"
#include "shell/MainWindow.h"
#include "shell/Menus.h"
#include "shell/PanelBinding.h"
#include "shell/PlayerVolume.h"
#include "shell/FramePresentation.h"
#include "shell/SeekKeys.h"
#include "shell/SettingsBinding.h"
#include "shell/FilmLoading.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

struct DesktopItems {
    QPointer<QAction> SaveFrame;
    QPointer<QMenu> Recent;
    // Wheel movement short of a whole notch (touchpads send small steps).
    int WheelRest = 0;
};

DesktopItems& Items() {
    static DesktopItems items;
    return items;
}

void WheelVolume(const QWheelEvent* wheel) {
    int& rest = Items().WheelRest;
    rest += wheel->angleDelta().y();
    const int notches = rest / QWheelEvent::DefaultDeltasPerStep;
    rest -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0) GuardWndProc([notches] { StepPlayerVolume(notches); });
}

// Watches the main window (keys its children left alone), the client area
// (the picture's double click and wheel) and the volume slider (its wheel).
class DesktopInput : public QObject {
public:
    DesktopInput(QObject* parent, QWidget* clientArea, QWidget* volumeSlider)
        : QObject(parent), clientArea_(clientArea), volumeSlider_(volumeSlider) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress: {
                // The segment list takes its own Esc (it hides the list);
                // only an Esc nobody took gets here.
                const auto* key = static_cast<QKeyEvent*>(event);
                if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && Shell().FullScreen) {
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
                    WheelVolume(wheel);
                    return true;
                }
                break;
            }
            default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> clientArea_;
    QPointer<QWidget> volumeSlider_;
};

void AddKey(QMainWindow* window, const QKeySequence& key, void (*run)()) {
    auto* action = new QAction(window);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, [run] { GuardWndProc(run); });
    window->addAction(action);
}

void FillRecentMenu() {
    QMenu* menu = Items().Recent;
    if (menu == nullptr) return;
    menu->clear();
    const QStringList films = RecentFilms();
    // Loading follows File > Load's rule: only while it is enabled (not
    // after a self-playing film started).
    const bool allowed = CommandEnabled(cmd::Load);
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

void InstallDesktopKeys(QMainWindow* window) {
    QWidget* clientArea = window->centralWidget();
    BottomPanel* panel = Panel();
    QWidget* volume = panel != nullptr ? panel->volumeSlider() : nullptr;
    auto* input = new DesktopInput(window, clientArea, volume);
    window->installEventFilter(input);
    if (clientArea != nullptr) clientArea->installEventFilter(input);
    if (volume != nullptr) volume->installEventFilter(input);
    Items().WheelRest = 0;

    AddKey(window, QKeySequence(Qt::Key_F), [] { DoCommand(cmd::FullScreen); });
    AddKey(window, QKeySequence(Qt::Key_M), [] { TogglePlayerMute(); });
    AddKey(window, QKeySequence(Qt::Key_9), [] { StepPlayerVolume(-1); });
    AddKey(window, QKeySequence(Qt::Key_0), [] { StepPlayerVolume(1); });
    AddKey(window, QKeySequence(Qt::CTRL | Qt::Key_C), [] { CopyFrameToClipboard(); });
    AddKey(window, QKeySequence(Qt::CTRL | Qt::Key_S), [] { SaveFrame(); });
    InstallSeekKeys(window);

    // Into the File menu after Properties, before the separator above Exit.
    QMenu* file = Menus().FileMenu;
    if (file == nullptr) return;
    QAction* separator = MenuItem(file, 2);
    auto* save = new QAction(file);
    QObject::connect(save, &QAction::triggered, [] { GuardWndProc([] { SaveFrame(); }); });
    auto* recent = new QMenu(file);
    QObject::connect(recent, &QMenu::aboutToShow, [] { GuardWndProc([] { FillRecentMenu(); }); });
    // Grey while there is no picture to save.
    QObject::connect(file, &QMenu::aboutToShow, save, [save] {
        save->setEnabled(ShellClock().PlayState.load() != Stopped && Shell().Window != nullptr && Shell().Window->Presented().HasFrame);
    });
    file->insertAction(separator, save);
    file->insertMenu(separator, recent);
    Items().SaveFrame = save;
    Items().Recent = recent;
    ApplyDesktopMenuLanguage();
    FillRecentMenu();
}

void ApplyDesktopMenuLanguage() {
    CaptionTexts& c = Captions();
    if (HasLanguageTable()) {
        const auto values = LookUpCaptions();
        // Tables written before these items keep the English words.
        if (const std::string& text = CaptionValue(values, CaptionKey::SaveFrame); !text.empty()) c.SaveFrame = text;
        if (const std::string& text = CaptionValue(values, CaptionKey::Recent); !text.empty()) c.Recent = text;
        if (const std::string& text = CaptionValue(values, CaptionKey::DropHint); !text.empty()) c.DropHint = text;
        if (const std::string& text = CaptionValue(values, CaptionKey::Resumed); !text.empty()) c.Resumed = text;
        if (const std::string& text = CaptionValue(values, CaptionKey::ResumeFilms); !text.empty())
            c.ResumeFilms = text;
    }
    if (QAction* resume = MenuItem(Menus().ViewMenu, kResumeFilmsItem))
        resume->setText(QString::fromStdString(c.ResumeFilms));
    if (Items().SaveFrame != nullptr) Items().SaveFrame->setText(QString::fromStdString(c.SaveFrame + "...\tCtrl+S"));
    if (Items().Recent != nullptr) Items().Recent->setTitle(QString::fromStdString(c.Recent));
}

}  // namespace movarel
