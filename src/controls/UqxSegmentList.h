#pragma once
// The segment list window: a drawn title bar, a close button and a list of the
// film's segment names, along the left edge of the main window. One per
// process; its state lives in SegmentListModule().
#include <QBrush>
#include <QPen>
#include <QWidget>

#include <cstdint>
#include <string>

class QListWidget;
class QPushButton;

namespace movarel {

constexpr int32_t kSegmentListWidth = 400;
constexpr uint32_t kSegmentListAccentColor = 0xA89890;

struct SegmentListState {
    QWidget* Window = nullptr;
    int32_t W = 0;
    int32_t H = 0;
    QListWidget* ListBox = nullptr;
    QPushButton* CloseButton = nullptr;
    std::string Title;
    // The list box had the focus when the window was last hidden (Qt moves the
    // focus away while hiding, so the hand-off asks this afterwards).
    bool FocusOnHide = false;
    QBrush AccentBrush;
    QPen AccentPen;
};
SegmentListState& SegmentListModule();

// Creates the hidden window (400 x 300 until the shell lays it out) as a child
// of the main window.
QWidget* CreateSegmentListWindow(QWidget* mainWindow);

void SelectSegmentInList(int32_t index);
void AddSegmentName(const std::string& name);
void ClearSegmentNames();
// Refills the names from the film and selects the current segment; a film
// without segments leaves the list as it is.
void FillSegmentList();
// The list box, for the focus moves of the segment-list toggle.
QListWidget* SegmentListBox();
// The list box has the focus, or had it when the window was just hidden.
bool SegmentListHadFocus();
void ForgetSegmentListFocus();

}  // namespace movarel
