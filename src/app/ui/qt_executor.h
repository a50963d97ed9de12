#pragma once
// Work posted from any thread runs on the thread this object lives in (the GUI thread), in
// posting order, through the Qt event loop.
#include <QObject>

#include "common/executor.h"

namespace korvane {

class QtExecutor : public QObject, public Executor {
    Q_OBJECT
public:
    explicit QtExecutor(QObject* parent = nullptr) : QObject(parent) {}
    void post(std::function<void()> fn) override;
};

}  // namespace korvane
