#pragma once
// The segment list window: a drawn title bar, a close button and a list of the
// film's segment names, along the left edge of the main window. It shows the
// names it is given and tells with signals what the user did. GUI thread only.
#include <QBrush>
#include <QPen>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>

class QListWidget;
class QPushButton;

namespace movarel {

constexpr int32_t kSegmentListWidth = 400;
constexpr uint32_t kSegmentListAccentColor = 0xA89890;

class SegmentListWindow : public QWidget {
    Q_OBJECT
public:
    // Hidden, 400 x 300 until laid out, titled "Segments".
    explicit SegmentListWindow(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    // Replaces the names; nothing is selected afterwards.
    void setSegmentNames(const QStringList& names);
    // Selects the name of segment index; an index outside the list selects none.
    void selectSegment(int32_t index);
    void focusList();
    // The list box has the focus, or had it when the window was just hidden
    // (Qt moves the focus off a window it hides).
    bool listHadFocus() const;
    void forgetListFocus() { focusOnHide_ = false; }

    QListWidget* listBox() const { return list_; }
    QPushButton* closeButton() const { return close_; }

signals:
    // Escape and the close button ask for cmd::Segments (the list to close).
    void commandRequested(int id);
    // Return or a double click on the selection: the list is closed first
    // (cmd::Segments), then the segment of that index is chosen.
    void segmentChosen(int32_t index);
    // Return or Escape closed the list while it had the focus: the focus is
    // to go back to the panel's Segments button.
    void focusBackRequested();
    void contextMenuRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    friend class SegmentListBox;
    void goToSelectedSegment();
    void listKey(QKeyEvent* event, bool press);

    QListWidget* list_ = nullptr;
    QPushButton* close_ = nullptr;
    QString title_;
    bool focusOnHide_ = false;
    QBrush accentBrush_;
    QPen accentPen_;
};

}  // namespace movarel
