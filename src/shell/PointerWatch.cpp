#include "shell/PointerWatch.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include "shell/MainWindow.h"

namespace movarel {

namespace {

// Watches the whole application, as a control without mouse tracking gets
// no mouse moves of its own (a panel button under the pointer): Qt hands
// those to the application's filters alone.
class PointerFilter : public QObject {
public:
    explicit PointerFilter(MainWindow& window) : QObject(&window), window_(window) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
            type != QEvent::Enter && type != QEvent::Leave)
            return false;
        if (!object->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(object);
        PointerState& pointer = window_.Pointer();
        if (type == QEvent::Leave) {
            // The window itself is left only when the pointer leaves it.
            if (widget == static_cast<QWidget*>(&window_)) pointer.Place.reset();
            return false;
        }
        QWidget* area = window_.State().ClientArea;
        if (area == nullptr || (widget != area && !area->isAncestorOf(widget))) return false;
        const QPointF at = type == QEvent::Enter ? static_cast<QEnterEvent*>(event)->position()
                                                 : static_cast<QMouseEvent*>(event)->position();
        pointer.Place = widget->mapTo(area, at.toPoint());
        return false;
    }

private:
    MainWindow& window_;
};

}  // namespace

void StartPointerWatch(MainWindow& window) {
    PointerState& p = window.Pointer();
    delete p.Watch.data();
    p.Place.reset();
    if (QCoreApplication::instance() == nullptr) return;
    p.Watch = new PointerFilter(window);
    QCoreApplication::instance()->installEventFilter(p.Watch);
}

std::optional<QPoint> PointerInClientArea(MainWindow& window) {
    const PointerState& p = window.Pointer();
    if (p.Watch.isNull()) return std::nullopt;
    return p.Place;
}

}  // namespace movarel
