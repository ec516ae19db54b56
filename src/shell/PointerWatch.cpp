#include "shell/PointerWatch.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include "shell/MainWindow.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

struct PointerState {
    QPointer<QObject> Watch;
    std::optional<QPoint> Place;
};

PointerState& Pointer() {
    static PointerState state;
    return state;
}

// Watches the whole application, as a control without mouse tracking gets
// no mouse moves of its own (a panel button under the pointer): Qt hands
// those to the application's filters alone.
class PointerFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
            type != QEvent::Enter && type != QEvent::Leave)
            return false;
        if (!object->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(object);
        const ShellState& s = Shell();
        if (type == QEvent::Leave) {
            // The window itself is left only when the pointer leaves it.
            if (widget == static_cast<QWidget*>(s.Window) && widget != nullptr) Pointer().Place.reset();
            return false;
        }
        QWidget* area = s.ClientArea;
        if (area == nullptr || (widget != area && !area->isAncestorOf(widget))) return false;
        const QPointF at = type == QEvent::Enter ? static_cast<QEnterEvent*>(event)->position()
                                                 : static_cast<QMouseEvent*>(event)->position();
        Pointer().Place = widget->mapTo(area, at.toPoint());
        return false;
    }
};

}  // namespace

void StartPointerWatch(QWidget* owner) {
    PointerState& p = Pointer();
    delete p.Watch.data();
    p.Place.reset();
    if (QCoreApplication::instance() == nullptr) return;
    p.Watch = new PointerFilter(owner);
    QCoreApplication::instance()->installEventFilter(p.Watch);
}

std::optional<QPoint> PointerInClientArea() {
    PointerState& p = Pointer();
    if (p.Watch.isNull()) return std::nullopt;
    return p.Place;
}

}  // namespace movarel
