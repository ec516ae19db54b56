#include "controls/ControlPanelHooks.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QThread>

#include "controls/UqxBottomPanel.h"
#include "controls/UqxSegmentList.h"
#include "controls/qxControls.h"
#include "shell/CaptionTexts.h"
#include "shell/PanelHooks.h"

namespace movarel {

namespace {

// The engine may tell the panel things from its timer thread; the widgets
// belong to the GUI thread, so such calls are handed over.
template <class Fn>
void OnGuiThread(Fn&& fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(app, std::forward<Fn>(fn), Qt::QueuedConnection);
}

class ControlPanelHooks : public PanelHooks {
public:
    void CreatePanels(QWidget* mainWindow) override {
        // The list first: the panel is made after it, so it lies above the list.
        CreateSegmentListWindow(mainWindow);
        CreateBottomPanel(mainWindow);
    }
    QWidget* BottomPanelWidget() override { return BottomPanel().Window.load(); }
    QWidget* SegmentListWidget() override { return SegmentListModule().Window; }
    int32_t PanelHeight() const override { return kPanelHeight; }
    void CreateTooltips(const CaptionTexts& c) override {
        PanelTooltipTexts t;
        t.Play = c.Play;
        t.Pause = c.Pause;
        t.Stop = c.Stop;
        t.Segments = c.Segments;
        t.Prev = c.Prev;
        t.Next = c.Next;
        t.FullScreen = c.FullScreen;
        t.Speed = c.Speed;
        t.Volume = c.Volume;
        t.Progress = c.Progress;
        CreatePanelTooltips(t);
    }
    void RefreshTimeDisplay() override { PanelTimeTextRefresh(); }
    void ShowSegmentDescription() override {
        OnGuiThread([] { PanelSegmentInfoRefresh(); });
    }
    void PlayStateChanged(int state) override {
        OnGuiThread([state] { PanelPlayStateChanged(state); });
    }
    void SetButtonChecks(bool fullScreen, bool segmentListShown) override {
        SetButtonCheck(PanelButton(cmd::FullScreen), fullScreen);
        SetButtonCheck(PanelButton(cmd::Segments), segmentListShown);
    }
    void Repaint() override { PanelFullRepaint(); }
    void FillSegmentList() override { movarel::FillSegmentList(); }
    void SelectInSegmentList(int32_t index) override {
        OnGuiThread([index] { SelectSegmentInList(index); });
    }
    void FocusSegmentList() override {
        if (QListWidget* list = SegmentListBox())
            list->setFocus(Qt::OtherFocusReason);
    }
    // Asked just after the window was hidden, when Qt has already moved the focus.
    bool SegmentListHasFocus() override { return SegmentListHadFocus(); }
    void FocusSegmentsButton() override {
        ForgetSegmentListFocus();
        if (QPushButton* button = PanelButton(cmd::Segments))
            button->setFocus(Qt::OtherFocusReason);
    }
};

}  // namespace

void InstallControlPanels() {
    static ControlPanelHooks hooks;
    SetPanelHooks(&hooks);
}

}  // namespace movarel
