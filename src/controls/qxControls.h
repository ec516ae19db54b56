#pragma once
// The player's own child controls (slider, progress bar) share this base, and
// the shell and the panels share the small user-interface utilities below.
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QWidget>

#include <cstdint>
#include <map>
#include <string>

class QAbstractButton;
class QPainter;
class QPixmap;

namespace movarel {

// Style bits a control asks for. The values are the window-style bits the
// control tables are written in, so 0x50010000 reads as child, visible, tab stop.
constexpr uint32_t kStyleChild = 0x40000000;
constexpr uint32_t kStyleVisible = 0x10000000;
constexpr uint32_t kStyleBorder = 0x00800000;
constexpr uint32_t kStyleTabStop = 0x00010000;

// Posted to a control (or handled by a direct call): move back to the stored bounds.
constexpr int kUpdateBoundsEvent = 1025;

// Rectangle with four edges, as the panels describe their areas.
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    bool operator==(const TRect&) const = default;
};

// What the first control of a class registered; later controls of the same
// class get the cursor and background of that first registration.
struct TControlClass {
    Qt::CursorShape Cursor = Qt::ArrowCursor;
    QBrush Background;
};

struct ControlsState {
    std::map<std::string, TControlClass> Classes;
    // The family of the last font found by CreateFontByName; empty until one is.
    QString LastFontFamily;
};
ControlsState& ControlsModule();

class TqxControl : public QWidget {
public:
    // Makes a control and its window, then runs Init. The parent owns it
    // (Qt ownership); deleting it earlier is fine too.
    template <class T>
    static T* Create(QWidget* parent) {
        T* control = new T(parent);
        control->Construct();
        return control;
    }
    ~TqxControl() override;

    void SetLeft(int32_t v);
    void SetTop(int32_t v);
    void SetWidth(int32_t v);
    void SetHeight(int32_t v);
    // Stores all four bounds, then moves the window once.
    void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
    // Moves the window to the stored bounds.
    void UpdateBounds();
    // A copy of the brush: a control keeps no claim on a brush it was handed.
    void SetBrush(const QBrush& brush) { FBrush = brush; }

    int32_t GetLeft() const { return FLeft; }
    int32_t GetTop() const { return FTop; }
    int32_t GetWidth() const { return FWidth; }
    int32_t GetHeight() const { return FHeight; }
    bool GetEnabled() const { return FEnabled; }
    void SetEnabledState(bool enabled);
    const std::string& ClassName() const { return FClassName; }
    uint32_t Style() const { return FStyle; }
    const QBrush& Brush() const { return FBrush; }
    // The window exists and this object receives its events.
    bool Attached() const { return FAttached; }
    // The number of the mouse message being handled (0x200 move, 0x201 left
    // press, 0x202 left release), 0 outside one; owners name it in error reports.
    int CurrentMessage() const { return FMessage; }

    // Bounds from an inclusive rectangle (while the window is dragged); result 1.
    virtual int BoundsChanging(const TRect& rect);

protected:
    explicit TqxControl(QWidget* parent);

    virtual QBrush GetBackgroundBrush() const;
    virtual Qt::CursorShape GetCursorHandle() const { return Qt::ArrowCursor; }
    virtual uint32_t GetStyle() const { return kStyleChild | kStyleVisible | kStyleBorder; }
    virtual uint32_t GetExStyle() const { return 0; }
    virtual std::string GetClassName() const = 0;
    virtual void Init();
    virtual void Resized(int32_t width, int32_t height);
    virtual void Moved(int32_t left, int32_t top);
    // Handlers of a subclass; the base does nothing (coordinates are client pixels).
    virtual void Paint(QPainter& painter, const QRect& paintRect);
    virtual void LeftButtonDown(int32_t x, int32_t y);
    virtual void MouseMoved(int32_t x, int32_t y);
    virtual void LeftButtonUp(int32_t x, int32_t y);

    bool event(QEvent* e) override;

    QWidget* FHandle = nullptr;
    int32_t FLeft = 0;
    int32_t FTop = 0;
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    bool FEnabled = false;
    std::string FClassName;
    std::string FCaption;
    QWidget* FParent = nullptr;
    QBrush FBrush;
    uint32_t FStyle = 0;
    uint32_t FExStyle = 0;

private:
    void Construct();
    bool FAttached = false;
    int FMessage = 0;
};

// A colour written as 0x00BBGGRR.
QColor ColorFromRef(uint32_t colorRef);

// Rectangle(l, t, r, b) of the panels: outline with the painter's pen, inside
// with its brush, covering l .. r-1 and t .. b-1. Reversed edges are swapped.
void DrawFrameRect(QPainter& painter, int32_t l, int32_t t, int32_t r, int32_t b);
// A segment title or language text from a film (code-page bytes) for display.
QString DecodeFilmText(const std::string& bytes);

// The area l .. r-1, t .. b-1 as a Qt rectangle (empty when r <= l or b <= t).
QRect AreaRect(int32_t l, int32_t t, int32_t r, int32_t b);

// Gives the button the named picture and returns it (a null picture for an
// unknown name).
QPixmap SetButtonBitmap(QAbstractButton* button, const std::string& name);
void SetButtonCheck(QAbstractButton* button, bool checked);
void MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom, TRect& rect);
// Inclusive edges; a negative extent grows left or up from the corner.
void MakeBoundsRect(int32_t x, int32_t y, int32_t w, int32_t h, TRect& rect);

// Menu items by position, separators counted; menu is a QMenu or a QMenuBar.
// An empty text, or one that starts with a backspace, leaves the item as it is;
// a backspace inside the text separates the shortcut text.
void SetMenuText(QWidget* menu, int position, const std::string& text);
void SetMenuCheck(QWidget* menu, int position, bool checked);
void SetMenuEnabled(QWidget* menu, int position, bool enabled);

// Style bits: 1 bold, 2 italic, 4 underline, 8 strike-out. height is the
// character cell height in pixels. A family that is not installed keeps the
// family of the last one that was found.
QFont CreateFontByName(const std::string& name, int32_t height, uint32_t style);

}  // namespace movarel
