#include "shell/SeekKeys.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>

#include <string>

#include "engine/Command.h"
#include "film/Film.h"
#include "platform/Texts.h"
#include "shell/Commands.h"
#include "shell/MainWindow.h"
#include "shell/Menus.h"

namespace movarel {

namespace {

struct SeekItem {
    int id;
    Qt::Key key;
    const char* keyText;  // as the menu shows it
    std::string CaptionTexts::*text;
};

// 0 ids are separators.
const SeekItem kItems[] = {
    {0, Qt::Key_unknown, "", nullptr},
    {cmd::PlayPause, Qt::Key_Space, "Space", &CaptionTexts::PlayPause},
    {cmd::SeekBack, Qt::Key_Left, "Left", &CaptionTexts::SeekBack},
    {cmd::SeekForward, Qt::Key_Right, "Right", &CaptionTexts::SeekForward},
    {cmd::SeekBackMinute, Qt::Key_Down, "Down", &CaptionTexts::SeekBackMinute},
    {cmd::SeekForwardMinute, Qt::Key_Up, "Up", &CaptionTexts::SeekForwardMinute},
    {cmd::FrameBack, Qt::Key_Comma, ",", &CaptionTexts::FrameBack},
    {cmd::FrameForward, Qt::Key_Period, ".", &CaptionTexts::FrameForward},
    {cmd::FirstFrame, Qt::Key_Home, "Home", &CaptionTexts::FirstFrame},
    {0, Qt::Key_unknown, "", nullptr},
    {cmd::Slower, Qt::Key_BracketLeft, "[", &CaptionTexts::Slower},
    {cmd::Faster, Qt::Key_BracketRight, "]", &CaptionTexts::Faster},
};

}  // namespace

void InstallSeekKeys(MainWindow& window) {
    // The language table's words, English where it lacks them (ApplyCaptionTexts).
    const CaptionTexts& captions = Texts().Captions;
    auto filmHasSegments = [&window] { return window.LoadedFilm().Count() > 0; };

    QMenu* actions = window.Menus().ActionsMenu;
    std::vector<QAction*> menuItems;
    for (const SeekItem& item : kItems) {
        if (actions != nullptr) {
            if (item.id == 0) {
                actions->addSeparator();
            } else {
                QAction* entry = actions->addAction(
                    QString::fromStdString(captions.*item.text + "\t" + item.keyText));
                const int id = item.id;
                QObject::connect(entry, &QAction::triggered, [id] { RunCommand(id); });
                menuItems.push_back(entry);
            }
        }
        if (item.id == 0)
            continue;
        // The window's own key, so it works in full screen without the menu
        // bar and whichever panel control has the focus.
        auto* key = new QAction(&window);
        key->setShortcut(QKeySequence(item.key));
        key->setShortcutContext(Qt::WindowShortcut);
        const int id = item.id;
        QObject::connect(key, &QAction::triggered, [id, filmHasSegments] {
            if (filmHasSegments())
                RunCommand(id);
        });
        window.addAction(key);
    }
    if (actions != nullptr)
        QObject::connect(actions, &QMenu::aboutToShow, actions, [menuItems, filmHasSegments] {
            for (QAction* entry : menuItems)
                entry->setEnabled(filmHasSegments());
        });
}

}  // namespace movarel
