#pragma once

// One running program per user: the first start listens on a local socket;
// a later start hands its command-line paths (possibly none) to the first
// and ends. The first then comes to the front and opens them.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // name: the socket's name ("AppVeltrano"); placed in $XDG_RUNTIME_DIR when
    // set, so users never see each other's instance.
    explicit TSingleInstance(const QString& name, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // True when this process is the first and now listens. False when another
    // instance took `paths`: the caller ends without a window.
    bool Start(const QStringList& paths);

    const QString& ServerName() const { return serverName_; }

signals:
    // A later start asked to come forward, with its paths (none for none).
    void activated(const QStringList& paths);

private:
    void OnNewConnection();

    QString serverName_;
    std::unique_ptr<QLocalServer> server_;
};
