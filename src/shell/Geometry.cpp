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
#include "shell/FilmLoading.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

struct GeometrySnapshot {
    std::mutex Lock;
    PictureGeometry Values;
};

GeometrySnapshot& Snapshot() {
    static GeometrySnapshot snapshot;
    return snapshot;
}

int32_t PanelSpace() { return Shell().PanelPinned ? kPanelHeight : 0; }

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

void PublishGeometry(const PictureGeometry& geometry) {
    std::lock_guard<std::mutex> guard(Snapshot().Lock);
    Snapshot().Values = geometry;
}

PictureGeometry CurrentGeometry() {
    std::lock_guard<std::mutex> guard(Snapshot().Lock);
    return Snapshot().Values;
}

QSize ScreenSize() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) return screen->size();
    return QSize(1920, 1080);
}

void RefreshClientRect() {
    ShellState& s = Shell();
    if (s.ClientArea != nullptr) s.ClientRect = s.ClientArea->rect();
}

void FitPicture(bool startingFromStop) {
    ShellState& s = Shell();
    const Segment* segment = ShellSegment();
    const int32_t filmWidth = segment ? segment->Width : 0;
    const int32_t filmHeight = segment ? segment->Height : 0;
    RefreshClientRect();
    QSize client = s.ClientRect.size();
    QMainWindow* window = s.Window;
    // The window only ever grows for a film, and never out of full screen or
    // a maximized state.
    if (window != nullptr && segment != nullptr && (startingFromStop || ShellClock().PlayState.load() == Stopped) &&
        !s.FullScreen &&
        !window->isMaximized() && !window->isFullScreen()) {
        const QRect before = window->geometry();
        const FitWindowResult fit =
            ComputeFitWindow(before, client, filmWidth, filmHeight, PanelSpace(), ScreenSize());
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
    RefreshClientRect();
    PlacePicture(Shell().ClientRect.size());
}

void PlacePicture(const QSize& client) {
    ShellState& s = Shell();
    const Segment* segment = ShellSegment();
    const PictureGeometry g = ComputePictureGeometry(segment ? segment->Width : 0, segment ? segment->Height : 0,
                                                     client.width(), client.height() - PanelSpace());
    PublishGeometry(g);
    if (s.ClientArea != nullptr) s.ClientArea->update();
}

void LayoutSegmentList() {
    ShellState& s = Shell();
    if (s.SegmentListWindow == nullptr) return;
    s.SegmentListWindow->setGeometry(0, 0, kSegmentListWindowWidth, s.ClientRect.height() - PanelSpace());
}

void PlacePanel() {
    ShellState& s = Shell();
    // A slide still under way would hide the panel just placed at its next
    // step (F7 pressed while the panel slides out after Alt+Enter).
    s.PanelSliding = false;
    if (s.PanelSlideTimer != nullptr) s.PanelSlideTimer->stop();
    if (s.BottomPanelWindow == nullptr) return;
    const int32_t height = kPanelHeight;
    s.BottomPanelWindow->setGeometry(0, s.ClientRect.height() - height, s.ClientRect.width(), height);
}

void HidePanel() {
    ShellState& s = Shell();
    if (s.BottomPanelWindow == nullptr) return;
    if (s.BottomPanelWindow->isVisible() && s.FullScreen && s.PanelSlideTimer != nullptr) {
        // The slide starts at the bottom edge and spans the client area as
        // it is now: a client that grew since the panel was placed would
        // otherwise see it cross the picture, at its old width.
        QWidget* panel = s.BottomPanelWindow;
        const int32_t top = std::max(panel->y(), s.ClientRect.height() - kPanelHeight);
        panel->setGeometry(0, top, s.ClientRect.width(), kPanelHeight);
        s.PanelSlideTimer->start(kPanelSlidePeriodMs);
        s.PanelSliding = true;
    } else {
        s.BottomPanelWindow->hide();
    }
}

void PanelSlideStep() {
    ShellState& s = Shell();
    QWidget* panel = s.BottomPanelWindow;
    // A pointer that comes back to the bottom edge while the panel still
    // slides lands on the panel, whose mouse moves never reach the client
    // area: without this look at the pointer the panel would slide away
    // under it and stay hidden until the pointer moved again. The place
    // comes from the window's own events, which Wayland has too.
    if (panel != nullptr && s.PanelSliding && s.ClientArea != nullptr) {
        const std::optional<QPoint> pointer = PointerInClientArea();
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
    ShellState& s = Shell();
    if (s.PanelPinned || s.BottomPanelWindow == nullptr) return;
    if (std::abs(s.ClientRect.height() - y) < kPanelRevealZone) {
        if (s.PanelSlideTimer != nullptr) s.PanelSlideTimer->stop();
        PlacePanel();
        s.BottomPanelWindow->raise();
        s.BottomPanelWindow->show();
    } else {
        HidePanel();
    }
}

void LayoutPanels() {
    ShellState& s = Shell();
    RefreshClientRect();
    if (s.SegmentListWindow != nullptr) {
        if (s.SegmentListShown) {
            LayoutSegmentList();
            s.SegmentListWindow->show();
        } else {
            s.SegmentListWindow->hide();
        }
    }
    if (s.PanelPinned) {
        PlacePanel();
        if (s.BottomPanelWindow != nullptr) s.BottomPanelWindow->show();
    } else {
        HidePanel();
    }
}

void SaveWindowPlacement() {
    ShellState& s = Shell();
    if (s.Window != nullptr) {
        const QRect r = s.Window->geometry();
        s.Saved.X = r.x();
        s.Saved.Y = r.y();
        s.Saved.Width = r.width();
        s.Saved.Height = r.height();
    }
    s.Saved.PanelPinned = s.PanelPinned;
}

void RestoreWindowPlacement() {
    ShellState& s = Shell();
    s.PanelPinned = s.Saved.PanelPinned;
    const int x = s.Saved.X > 0 ? s.Saved.X : 0;
    const int y = s.Saved.Y > 0 ? s.Saved.Y : 0;
    const int w = s.Saved.Width > 0 ? s.Saved.Width : kMinWindowWidth;
    const int h = s.Saved.Height > 0 ? s.Saved.Height : kMinWindowHeight;
    if (s.Window != nullptr) s.Window->setGeometry(x, y, w, h);
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
    ShellState& s = Shell();
    QMainWindow* window = s.Window;
    s.FullScreen = !s.FullScreen;
    if (s.FullScreen) {
        SaveWindowPlacement();
        // The panel, unpinned in full screen, starts hidden: sliding out from
        // the window's old bottom edge it would cross the whole picture. It
        // is unpinned before the window grows, so the size change does not
        // place it at the new bottom edge again.
        if (s.PanelSlideTimer != nullptr) s.PanelSlideTimer->stop();
        s.PanelSliding = false;
        if (s.BottomPanelWindow != nullptr) s.BottomPanelWindow->hide();
        if (s.PanelPinned) TogglePanel();
        if (window != nullptr) ShowWindowFullScreen(window);
    } else {
        if (window != nullptr) {
            window->menuBar()->show();
            window->showNormal();
        }
        RestoreWindowPlacement();
    }
    if (s.ClientArea != nullptr) s.ClientArea->update();
    UpdateMenuState();
    LayoutPanels();
}

void RestoreScreenMode() {
    if (Shell().FullScreen != Shell().FullScreenAtPlay) ToggleFullScreen();
}

}  // namespace movarel
