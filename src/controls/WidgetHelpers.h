#pragma once
// Small user-interface utilities the controls, the panels and the shell share:
// colours, frames, film texts, button pictures, menu items by position, fonts.
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QWidget>

#include <cstdint>
#include <string>

class QAbstractButton;
class QPainter;
class QPixmap;

namespace movarel {

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

// Menu items by position, separators counted; menu is a QMenu or a QMenuBar.
// An empty text, or one that starts with a backspace, leaves the item as it is;
// a backspace inside the text separates the shortcut text.
void SetMenuText(QWidget* menu, int position, const std::string& text);
void SetMenuCheck(QWidget* menu, int position, bool checked);
void SetMenuEnabled(QWidget* menu, int position, bool enabled);

// Style bits: 1 bold, 2 italic, 4 underline, 8 strike-out. height is the
// character cell height in pixels. A family that is not installed gives the
// default one.
QFont CreateFontByName(const std::string& name, int32_t height, uint32_t style);

}  // namespace movarel
