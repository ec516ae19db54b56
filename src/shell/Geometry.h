#pragma once
// Where things are on the screen: the window grown around the film, the
// picture's place and scale in the client area, the panels, the unpinned
// panel's reveal and slide, and full-screen mode.
#include <QRect>
#include <QSize>

#include <cstdint>
#include <mutex>

class QMainWindow;

namespace movarel {

constexpr int32_t kSegmentListWindowWidth = 400;
constexpr int32_t kPanelRevealZone = 16;   // |bottom - y| below this shows the panel
constexpr int32_t kPanelSlidePeriodMs = 40;
constexpr int32_t kPanelSlideStep = 2;

// The picture's place in the client area. The timer thread and the painter
// read it as one snapshot (GeometrySnapshot), never half-written.
struct PictureGeometry {
    int32_t OffsetX = 0;
    int32_t OffsetY = 0;
    bool Stretch = false;
    float Scale = 1.0f;
    int32_t ScaledWidth = 0;
    int32_t ScaledHeight = 0;
    int32_t FilmWidth = 0;
    int32_t FilmHeight = 0;
    // The frame's place in window pixels.
    QRect FrameRect() const {
        return Stretch ? QRect(OffsetX, OffsetY, ScaledWidth, ScaledHeight)
                       : QRect(OffsetX, OffsetY, FilmWidth, FilmHeight);
    }
};

// Centred at its own size when the film fits cw x ch, else scaled down with
// the aspect kept (sizes rounded half to even, halves truncated).
PictureGeometry ComputePictureGeometry(int32_t filmWidth, int32_t filmHeight, int32_t cw, int32_t ch);

struct FitWindowResult {
    enum Action { Keep, Move, Maximize } action = Keep;
    QRect window;  // for Move: the new window rectangle
};
// How FitPicture grows a stopped window so the film shows at its own size:
// around the old centre, kept on the screen, or maximized when it cannot fit.
FitWindowResult ComputeFitWindow(const QRect& window, const QSize& client, int32_t filmWidth,
                                 int32_t filmHeight, int32_t panelHeight, const QSize& screen);

// The rectangle a sizing drag may have: at least 600 x 400, moving the right
// and bottom edges.
QRect LimitTracking(const QRect& rect);

// The picture's place as last published, one per window.
class GeometrySnapshot {
public:
    void Publish(const PictureGeometry& geometry) {
        std::lock_guard<std::mutex> guard(lock_);
        values_ = geometry;
    }
    PictureGeometry Current() const {
        std::lock_guard<std::mutex> guard(lock_);
        return values_;
    }

private:
    mutable std::mutex lock_;
    PictureGeometry values_;
};

// The primary screen's size.
QSize ScreenSize();

// Fits the picture to the client area; a stopped window (or one whose
// segment starts from a stop) grows for the film first.
void FitPicture(bool startingFromStop = false);
// Places the picture in the client area as it is, the window left alone (a
// stopped film's still frame), in the client size given or the current one.
void PlacePicture();
void PlacePicture(const QSize& client);
void LayoutSegmentList();
void PlacePanel();
void HidePanel();
void PanelSlideStep();
void TrackMouse(int32_t y);

// Full screen without the menu bar, on the screen the window is on.
void ShowWindowFullScreen(QMainWindow* window);

void SaveWindowPlacement();
void RestoreWindowPlacement();
void RestoreScreenMode();
// The client rectangle after a size change.
void RefreshClientRect();

}  // namespace movarel
