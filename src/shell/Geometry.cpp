#include "shell/Geometry.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "engine/Player.h"
#include "film/Film.h"
#include "shell/Commands.h"
#include "shell/MainWindow.h"
#include "controls/BottomPanel.h"
#include "shell/PanelBinding.h"
#include "shell/PointerWatch.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

int32_t PanelSpace(const WindowState& s) { return s.PanelPinned ? kPanelHeight : 0; }

}  // namespace

PictureGeometry ComputePictureGeometry(int32_t filmWidth, int32_t filmHeight, int32_t cw, int32_t ch) {
    PictureGeometry g;
    g.FilmWidth = filmWidth;
    g.FilmHeight = filmHeight;
    if (filmWidth <= 0 || filmHeight <= 0) return g;
    if (cw < 0) cw = 0;
    if (ch < 0) ch = 0;
    if (cw >= filmWidth && ch >= filmHeight) {
        g.OffsetX = (cw - filmWidth) / 2;
        g.OffsetY = (ch - filmHeight) / 2;
        return g;
    }
    g.Stretch = true;
    const float sx = static_cast<float>(cw) / static_cast<float>(filmWidth);
    const float sy = static_cast<float>(ch) / static_cast<float>(filmHeight);
    g.Scale = sx >= sy ? sy : sx;
    // nearbyint rounds halves to the even neighbour in the default mode.
    g.ScaledWidth = static_cast<int32_t>(std::nearbyint(static_cast<float>(filmWidth) * g.Scale));
    g.ScaledHeight = static_cast<int32_t>(std::nearbyint(static_cast<float>(filmHeight) * g.Scale));
    g.OffsetX = (cw - g.ScaledWidth) / 2;
    g.OffsetY = (ch - g.ScaledHeight) / 2;
    return g;
}

FitWindowResult ComputeFitWindow(const QRect& window, const QSize& client, int32_t filmWidth,
                                 int32_t filmHeight, int32_t panelHeight, const QSize& screen) {
    FitWindowResult result;
    const int32_t cw = client.width();
    const int32_t ch = client.height() - panelHeight;
    const int64_t dx = int64_t{filmWidth} - cw;
    const int64_t dy = int64_t{filmHeight} - ch;
    if (dx <= 0 && dy <= 0) return result;
    const int64_t w = window.width() + (dx > 0 ? dx : 0);
    const int64_t h = window.height() + (dy > 0 ? dy : 0);
    if (w > screen.width() || h > screen.height()) {
        result.action = FitWindowResult::Maximize;
        return result;
    }
    const int64_t left = window.left();
    const int64_t top = window.top();
    int64_t x = (left + left + window.width()) / 2 - w / 2;
    int64_t y = (top + top + window.height()) / 2 - h / 2;
    if (x + w > screen.width()) x = screen.width() - w;
    if (y + h > screen.height()) y = screen.height() - h;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    result.action = FitWindowResult::Move;
    result.window = QRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h));
    return result;
}

QRect LimitTracking(const QRect& rect) {
    QRect r = rect;
    if (r.width() < kMinWindowWidth) r.setWidth(kMinWindowWidth);
    if (r.height() < kMinWindowHeight) r.setHeight(kMinWindowHeight);
    return r;
}

QSize ScreenSize() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) return screen->size();
    return QSize(1920, 1080);
}

void RefreshClientRect() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    if (s.ClientArea != nullptr) s.ClientRect = s.ClientArea->rect();
}

void FitPicture(bool startingFromStop) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    const Segment* segment = window->ActivePlayer().CurrentSegmentInfo();
    const int32_t filmWidth = segment ? segment->Width : 0;
    const int32_t filmHeight = segment ? segment->Height : 0;
    RefreshClientRect();
    QSize client = s.ClientRect.size();
    // The window only ever grows for a film, and never out of full screen or
    // a maximized state.
    if (segment != nullptr && (startingFromStop || window->ActivePlayer().Clock().PlayState.load() == Stopped) &&
        !s.FullScreen &&
        !window->isMaximized() && !window->isFullScreen()) {
        const QRect before = window->geometry();
        const FitWindowResult fit =
            ComputeFitWindow(before, client, filmWidth, filmHeight, PanelSpace(s), ScreenSize());
        if (fit.action == FitWindowResult::Maximize) {
            window->showMaximized();
        } else if (fit.action == FitWindowResult::Move) {
            window->setGeometry(fit.window);
            // The size event may come later; the client grows with the window.
            client += fit.window.size() - before.size();
        }
    }
    PlacePicture(client);
}

void PlacePicture() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    RefreshClientRect();
    PlacePicture(window->State().ClientRect.size());
}

void PlacePicture(const QSize& client) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    const Segment* segment = window->ActivePlayer().CurrentSegmentInfo();
    const PictureGeometry g = ComputePictureGeometry(segment ? segment->Width : 0, segment ? segment->Height : 0,
                                                     client.width(), client.height() - PanelSpace(s));
    window->Geometry().Publish(g);
    if (s.ClientArea != nullptr) s.ClientArea->update();
}

void LayoutSegmentList() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    QWidget* list = window->Panels().SegmentList();
    if (list == nullptr) return;
    list->setGeometry(0, 0, kSegmentListWindowWidth, s.ClientRect.height() - PanelSpace(s));
}

void PlacePanel() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    // A slide still under way would hide the panel just placed at its next
    // step (F7 pressed while the panel slides out after Alt+Enter).
    s.PanelSliding = false;
    if (s.PanelSlideTimer != nullptr) s.PanelSlideTimer->stop();
    QWidget* panel = window->Panels().Panel();
    if (panel == nullptr) return;
    const int32_t height = kPanelHeight;
    panel->setGeometry(0, s.ClientRect.height() - height, s.ClientRect.width(), height);
}

void HidePanel() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    QWidget* panel = window->Panels().Panel();
    if (panel == nullptr) return;
    if (panel->isVisible() && s.FullScreen && s.PanelSlideTimer != nullptr) {
        // The slide starts at the bottom edge and spans the client area as
        // it is now: a client that grew since the panel was placed would
        // otherwise see it cross the picture, at its old width.
        const int32_t top = std::max(panel->y(), s.ClientRect.height() - kPanelHeight);
        panel->setGeometry(0, top, s.ClientRect.width(), kPanelHeight);
        s.PanelSlideTimer->start(kPanelSlidePeriodMs);
        s.PanelSliding = true;
    } else {
        panel->hide();
    }
}

void PanelSlideStep() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    QWidget* panel = window->Panels().Panel();
    // A pointer that comes back to the bottom edge while the panel still
    // slides lands on the panel, whose mouse moves never reach the client
    // area: without this look at the pointer the panel would slide away
    // under it and stay hidden until the pointer moved again. The place
    // comes from the window's own events, which Wayland has too.
    if (panel != nullptr && s.PanelSliding && s.ClientArea != nullptr) {
        const std::optional<QPoint> pointer = PointerInClientArea(*window);
        if (pointer && std::abs(s.ClientRect.height() - pointer->y()) < kPanelRevealZone) {
            TrackMouse(pointer->y());
            return;
        }
    }
    // A panel placed since the slide began is no longer sliding: the step
    // leaves it where it is.
    if (!s.PanelSliding) {
        if (s.PanelSlideTimer != nullptr) s.PanelSlideTimer->stop();
        return;
    }
    if (panel != nullptr && panel->y() <= s.ClientRect.height()) {
        panel->move(0, panel->y() + kPanelSlideStep);
        return;
    }
    if (s.PanelSlideTimer != nullptr) s.PanelSlideTimer->stop();
    if (panel != nullptr) panel->hide();
    s.PanelSliding = false;
}

void TrackMouse(int32_t y) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    QWidget* panel = window->Panels().Panel();
    if (s.PanelPinned || panel == nullptr) return;
    if (std::abs(s.ClientRect.height() - y) < kPanelRevealZone) {
        if (s.PanelSlideTimer != nullptr) s.PanelSlideTimer->stop();
        PlacePanel();
        panel->raise();
        panel->show();
    } else {
        HidePanel();
    }
}

void LayoutPanels() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    RefreshClientRect();
    if (QWidget* list = window->Panels().SegmentList()) {
        if (s.SegmentListShown) {
            LayoutSegmentList();
            list->show();
        } else {
            list->hide();
        }
    }
    if (s.PanelPinned) {
        PlacePanel();
        if (QWidget* panel = window->Panels().Panel()) panel->show();
    } else {
        HidePanel();
    }
}

void SaveWindowPlacement() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    const QRect r = window->geometry();
    s.Saved.X = r.x();
    s.Saved.Y = r.y();
    s.Saved.Width = r.width();
    s.Saved.Height = r.height();
    s.Saved.PanelPinned = s.PanelPinned;
}

void RestoreWindowPlacement() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    s.PanelPinned = s.Saved.PanelPinned;
    const int x = s.Saved.X > 0 ? s.Saved.X : 0;
    const int y = s.Saved.Y > 0 ? s.Saved.Y : 0;
    const int w = s.Saved.Width > 0 ? s.Saved.Width : kMinWindowWidth;
    const int h = s.Saved.Height > 0 ? s.Saved.Height : kMinWindowHeight;
    window->setGeometry(x, y, w, h);
    UpdateMenuState();
    LayoutPanels();
}

void ShowWindowFullScreen(QMainWindow* window) {
    window->menuBar()->hide();
    window->showFullScreen();
    // Only a window manager applies the full-screen state; on a bare X
    // server the window would keep its size, so it is asked for the whole
    // screen too (with a manager the window has that size already).
    QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) window->setGeometry(screen->geometry());
}

void ToggleFullScreen() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    WindowState& s = window->State();
    s.FullScreen = !s.FullScreen;
    if (s.FullScreen) {
        SaveWindowPlacement();
        // The panel, unpinned in full screen, starts hidden: sliding out from
        // the window's old bottom edge it would cross the whole picture. It
        // is unpinned before the window grows, so the size change does not
        // place it at the new bottom edge again.
        if (s.PanelSlideTimer != nullptr) s.PanelSlideTimer->stop();
        s.PanelSliding = false;
        if (QWidget* panel = window->Panels().Panel()) panel->hide();
        if (s.PanelPinned) TogglePanel();
        ShowWindowFullScreen(window);
    } else {
        window->menuBar()->show();
        window->showNormal();
        RestoreWindowPlacement();
    }
    if (s.ClientArea != nullptr) s.ClientArea->update();
    UpdateMenuState();
    LayoutPanels();
}

void RestoreScreenMode() {
    MainWindow* window = Shell().Window;
    if (window != nullptr && window->State().FullScreen != window->State().FullScreenAtPlay) ToggleFullScreen();
}

}  // namespace movarel
