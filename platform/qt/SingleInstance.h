// Keeps the program to one running instance. The first instance listens on
// a local socket named after the application title; a second start finds it,
// asks it to come to the front, and ends.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace orvalink {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another instance answered: it has been asked to come forward.
    // Waits at most timeoutMs for it.
    bool AnotherInstanceRuns(int timeoutMs = 1000);
    // Starts listening; false when the name cannot be taken.
    bool Listen();

signals:
    // A second start asked this instance to come forward.
    void Activated();

private:
    QString name_;
    QLocalServer server_;
};

}  // namespace orvalink
