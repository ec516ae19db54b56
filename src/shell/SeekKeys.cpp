#include "shell/SeekKeys.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>

#include <string>

#include "engine/Command.h"
#include "film/LanguageTable.h"
#include "shell/CaptionTexts.h"
#include "shell/Commands.h"
#include "shell/FilmLoading.h"
#include "film/Film.h"
#include "shell/Menus.h"

namespace movarel {

namespace {

struct SeekItem {
    int id;
    Qt::Key key;
    const char* keyText;  // as the menu shows it
    CaptionKey caption;
    std::string CaptionTexts::*text;
};

// 0 ids are separators.
const SeekItem kItems[] = {
    {0, Qt::Key_unknown, "", CaptionKey::PlayPause, nullptr},
    {cmd::PlayPause, Qt::Key_Space, "Space", CaptionKey::PlayPause, &CaptionTexts::PlayPause},
    {cmd::SeekBack, Qt::Key_Left, "Left", CaptionKey::SeekBack, &CaptionTexts::SeekBack},
    {cmd::SeekForward, Qt::Key_Right, "Right", CaptionKey::SeekForward, &CaptionTexts::SeekForward},
    {cmd::SeekBackMinute, Qt::Key_Down, "Down", CaptionKey::SeekBackMinute, &CaptionTexts::SeekBackMinute},
    {cmd::SeekForwardMinute, Qt::Key_Up, "Up", CaptionKey::SeekForwardMinute, &CaptionTexts::SeekForwardMinute},
    {cmd::FrameBack, Qt::Key_Comma, ",", CaptionKey::FrameBack, &CaptionTexts::FrameBack},
    {cmd::FrameForward, Qt::Key_Period, ".", CaptionKey::FrameForward, &CaptionTexts::FrameForward},
    {cmd::FirstFrame, Qt::Key_Home, "Home", CaptionKey::FirstFrame, &CaptionTexts::FirstFrame},
    {0, Qt::Key_unknown, "", CaptionKey::PlayPause, nullptr},
    {cmd::Slower, Qt::Key_BracketLeft, "[", CaptionKey::Slower, &CaptionTexts::Slower},
    {cmd::Faster, Qt::Key_BracketRight, "]", CaptionKey::Faster, &CaptionTexts::Faster},
};

bool FilmHasSegments() { return LoadedFilm().Count() > 0; }

}  // namespace

void InstallSeekKeys(QMainWindow* window) {
    CaptionTexts& captions = Captions();
    if (HasLanguageTable()) {
        const auto values = LookUpCaptions();
        // Tables written before these items keep the English words.
        for (const SeekItem& item : kItems)
            if (item.text != nullptr)
                if (const std::string& text = CaptionValue(values, item.caption); !text.empty())
                    captions.*item.text = text;
    }

    QMenu* actions = Menus().ActionsMenu;
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
        auto* key = new QAction(window);
        key->setShortcut(QKeySequence(item.key));
        key->setShortcutContext(Qt::WindowShortcut);
        const int id = item.id;
        QObject::connect(key, &QAction::triggered, [id] {
            if (FilmHasSegments())
                RunCommand(id);
        });
        window->addAction(key);
    }
    if (actions != nullptr)
        QObject::connect(actions, &QMenu::aboutToShow, actions, [menuItems] {
            for (QAction* entry : menuItems)
                entry->setEnabled(FilmHasSegments());
        });
}

}  // namespace movarel
