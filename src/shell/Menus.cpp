#include "shell/Menus.h"

#include <QCursor>
#include <QKeySequence>
#include <QMainWindow>
#include <QWidget>

#include <optional>

#include "controls/WidgetHelpers.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "film/Streams.h"
#include "platform/UserMessages.h"
#include "platform/Texts.h"
#include "shell/Commands.h"
#include "shell/PanelBinding.h"
#include "shell/PointerWatch.h"
#include "shell/FilmResume.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

struct ItemSpec {
    int id;  // 0: separator
    const char* text;
};

QMenu* AddMenu(QMenuBar* bar, const char* title, std::initializer_list<ItemSpec> items) {
    QMenu* menu = bar->addMenu(QString::fromUtf8(title));
    for (const ItemSpec& item : items) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromUtf8(item.text));
        const int id = item.id;
        QObject::connect(action, &QAction::triggered, [id] { RunCommand(id); });
    }
    return menu;
}

struct ShortcutSpec {
    QKeySequence key;
    int id;
};

}  // namespace

QAction* MenuItem(QMenu* menu, int position) {
    if (menu == nullptr) return nullptr;
    const QList<QAction*> actions = menu->actions();
    if (position < 0 || position >= actions.size()) return nullptr;
    return actions[position];
}

void BuildMenus(MainWindow& owner) {
    MainWindow* window = &owner;
    MenuState& m = owner.Menus();
    m.MainMenu = window->menuBar();
    m.MainMenu->clear();
    m.FileMenu = AddMenu(m.MainMenu, "File",
                         {{cmd::Load, "Load...\tCtrl+O"}, {cmd::Properties, "Properties...\tF8"}, {0, ""},
                          {cmd::Exit, "Exit\tAlt+F4"}});
    m.ActionsMenu = AddMenu(m.MainMenu, "Actions",
                            {{cmd::Play, "Play\tF9"}, {cmd::Pause, "Pause\tF10"}, {cmd::Stop, "Stop\tF11"}, {0, ""},
                             {cmd::Segments, "Segments\tF6"}, {cmd::PrevSegment, "Previous segment\tF4"},
                             {cmd::NextSegment, "Next segment\tF5"}});
    m.ViewMenu = AddMenu(m.MainMenu, "View",
                         {{cmd::ShowPanel, "Show control panel\tF7"}, {cmd::FullScreen, "Full screen\tAlt+Enter"},
                          {0, ""}, {cmd::ResumeFilms, "Resume films where they were left"}});
    m.HelpMenu =
        AddMenu(m.MainMenu, "Help", {{cmd::ContextHelp, "Context Help\tF1"}, {0, ""}, {cmd::About, "About..."}});

    m.PopupMenu = new QMenu(window);
    for (const ItemSpec& item :
         {ItemSpec{cmd::Load, "Load..."}, {0, ""}, {cmd::Play, "Play"}, {cmd::Pause, "Pause"}, {cmd::Stop, "Stop"},
          {0, ""}, {cmd::Segments, "Segments"}, {cmd::PrevSegment, "Previous segment"},
          {cmd::NextSegment, "Next segment"}, {0, ""}, {cmd::ShowPanel, "Show control panel"},
          {cmd::FullScreen, "Full screen"}, {0, ""}, {cmd::ContextHelp, "Help"}, {cmd::About, "About..."}, {0, ""},
          {cmd::Exit, "Close"}}) {
        if (item.id == 0) {
            m.PopupMenu->addSeparator();
            continue;
        }
        QAction* action = m.PopupMenu->addAction(QString::fromUtf8(item.text));
        const int id = item.id;
        QObject::connect(action, &QAction::triggered, [id] { RunCommand(id); });
    }

    // The window owns the actions; a previous window took its own with it.
    m.Shortcuts.clear();
    const ShortcutSpec table[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_O), cmd::Load},
        {QKeySequence(Qt::Key_F8), cmd::Properties},
        {QKeySequence(Qt::Key_F9), cmd::Play},
        {QKeySequence(Qt::Key_F10), cmd::Pause},
        {QKeySequence(Qt::Key_F11), cmd::Stop},
        {QKeySequence(Qt::Key_F6), cmd::Segments},
        {QKeySequence(Qt::Key_F7), cmd::ShowPanel},
        {QKeySequence(Qt::ALT | Qt::Key_Return), cmd::FullScreen},
        {QKeySequence(Qt::Key_F1), cmd::ContextHelp},
        {QKeySequence(Qt::Key_F4), cmd::PrevSegment},
        {QKeySequence(Qt::Key_F5), cmd::NextSegment},
        // Alt+F4 is the window manager's close; without one it would do
        // nothing, so the player takes it too, and Ctrl+Q beside it.
        {QKeySequence(Qt::ALT | Qt::Key_F4), cmd::Exit},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), cmd::Exit},
    };
    for (const ShortcutSpec& entry : table) {
        QAction* action = new QAction(window);
        QList<QKeySequence> keys{entry.key};
        if (entry.id == cmd::FullScreen) keys.append(QKeySequence(Qt::ALT | Qt::Key_Enter));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        const int id = entry.id;
        QObject::connect(action, &QAction::triggered, [window, id] {
            if (CommandEnabled(window->Menus(), id)) RunCommand(id);
        });
        window->addAction(action);
        m.Shortcuts.push_back(action);
    }
}

bool CommandEnabled(const MenuState& m, int id) {
    QAction* item = nullptr;
    switch (id) {
        case cmd::Load: item = MenuItem(m.FileMenu, 0); break;
        case cmd::Properties: item = MenuItem(m.FileMenu, 1); break;
        case cmd::Play: item = MenuItem(m.ActionsMenu, 0); break;
        case cmd::Pause: item = MenuItem(m.ActionsMenu, 1); break;
        case cmd::Stop: item = MenuItem(m.ActionsMenu, 2); break;
        case cmd::PrevSegment: item = MenuItem(m.ActionsMenu, 5); break;
        case cmd::NextSegment: item = MenuItem(m.ActionsMenu, 6); break;
        default: return true;
    }
    return item == nullptr || item->isEnabled();
}

void ApplyMenuLanguage(MainWindow& window) {
    if (!Texts().HasLanguageTable()) return;
    // The table's values come decoded from its code page, so the captions,
    // and every tooltip and box that shows them, hold display text.
    const CaptionTexts& c = Texts().Captions;
    MenuState& m = window.Menus();
    SetMenuText(m.MainMenu, 0, c.File);
    SetMenuText(m.MainMenu, 1, c.Actions);
    SetMenuText(m.MainMenu, 2, c.View);
    SetMenuText(m.MainMenu, 3, c.Help);
    SetMenuText(m.FileMenu, 0, c.Load + "\bCtrl + O");
    SetMenuText(m.FileMenu, 1, c.Properties + "\bF8");
    // Exit is the last item, whatever was added above it.
    SetMenuText(m.FileMenu, static_cast<int>(m.FileMenu->actions().size()) - 1, c.Exit + "\bAlt+F4");
    SetMenuText(m.ActionsMenu, 0, c.Play + "\bF9");
    SetMenuText(m.ActionsMenu, 1, c.Pause + "\bF10");
    SetMenuText(m.ActionsMenu, 2, c.Stop + "\bF11");
    SetMenuText(m.ActionsMenu, 4, c.Segments + "\bF6");
    SetMenuText(m.ActionsMenu, 5, c.Prev + "\bF4");
    SetMenuText(m.ActionsMenu, 6, c.Next + "\bF5");
    SetMenuText(m.ViewMenu, 0, c.ShowPanel + "\bF7");
    SetMenuText(m.ViewMenu, 1, c.FullScreen + "\bAlt + Enter");
    SetMenuText(m.HelpMenu, 0, c.ContextHelp + "\bF1");
    SetMenuText(m.HelpMenu, 2, c.About);
    const std::pair<int, const std::string*> popup[] = {
        {0, &c.Load},       {2, &c.Play},      {3, &c.Pause},       {4, &c.Stop},
        {6, &c.Segments},   {7, &c.Prev},      {8, &c.Next},        {10, &c.ShowPanel},
        {11, &c.FullScreen}, {13, &c.ContextHelp}, {14, &c.About},    {16, &c.Close}};
    for (const auto& [position, text] : popup) SetMenuText(m.PopupMenu, position, *text);
}

void UpdateMenuState() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    MenuState& m = window->Menus();
    const WindowState& s = window->State();
    if (m.FileMenu == nullptr) return;
    for (int position : {0, 1, 2}) SetMenuCheck(m.ActionsMenu, position, false);
    for (int position : {2, 3, 4, 10, 11}) SetMenuCheck(m.PopupMenu, position, false);
    // A film opens at any time; only a self-playing film keeps Load grey.
    SetMenuEnabled(m.FileMenu, 0, s.LoadAllowed);
    SetMenuEnabled(m.PopupMenu, 0, s.LoadAllowed);
    switch (window->ActivePlayer().Clock().PlayState.load()) {
        case Stopped:
            SetMenuCheck(m.ActionsMenu, 2, true);
            SetMenuCheck(m.PopupMenu, 4, true);
            break;
        case Playing:
            SetMenuCheck(m.ActionsMenu, 0, true);
            SetMenuCheck(m.PopupMenu, 2, true);
            break;
        case Paused:
            SetMenuCheck(m.ActionsMenu, 1, true);
            SetMenuCheck(m.PopupMenu, 3, true);
            break;
        default: break;
    }
    SetMenuCheck(m.ViewMenu, 0, s.PanelPinned);
    SetMenuCheck(m.PopupMenu, 10, s.PanelPinned);
    SetMenuCheck(m.ViewMenu, 1, s.FullScreen);
    if (QAction* resume = MenuItem(m.ViewMenu, kResumeFilmsItem)) {
        resume->setCheckable(true);
        resume->setChecked(ResumingFilms());
    }
    SetMenuCheck(m.PopupMenu, 11, s.FullScreen);
    window->Panels().SetButtonChecks(s.FullScreen, s.SegmentListShown);
    const bool any = window->LoadedFilm().Count() > 0;
    SetMenuEnabled(m.FileMenu, 1, any);
    for (int position : {0, 1, 2, 5, 6}) SetMenuEnabled(m.ActionsMenu, position, any);
    for (int position : {2, 3, 4, 7, 8}) SetMenuEnabled(m.PopupMenu, position, any);
}

void ShowPopupMenu() {
    MainWindow* window = Shell().Window;
    if (window == nullptr || window->Menus().PopupMenu == nullptr) return;
    // At the click, from the window's own events where it has them (Wayland
    // gives no global pointer position).
    const std::optional<QPoint> pointer = PointerInClientArea(*window);
    QWidget* area = window->State().ClientArea;
    window->Menus().PopupMenu->popup(pointer && area != nullptr ? area->mapToGlobal(*pointer) : QCursor::pos());
}

}  // namespace movarel
