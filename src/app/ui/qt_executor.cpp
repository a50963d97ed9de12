#include "app/ui/qt_executor.h"

#include <QMetaObject>

namespace korvane {

void QtExecutor::post(std::function<void()> fn) {
    // Qt drops calls still queued for a destroyed context object, so nothing posted here can run
    // after the executor (and the objects that outlive it) are gone.
    QMetaObject::invokeMethod(
        this, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

}  // namespace korvane
