#pragma once
// One running copy per user. The first start listens on a local socket; a later start only
// asks that copy to show its window, then ends.
#include <QObject>
#include <QString>

class QLocalServer;

namespace korvane {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` is made per user by placing it in the user's runtime directory.
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);

    // True when this process is the first: it now answers later starts. False when another
    // copy runs; that copy has been asked to come to the front.
    bool claim();

    const QString& serverName() const { return serverName_; }

signals:
    void raiseRequested();

private:
    bool notifyRunning();

    QString serverName_;
    QLocalServer* server_ = nullptr;
};

}  // namespace korvane
