#pragma once

#include <QObject>

// The app's software updater: started with the app, it says whether a user-started check is
// possible now and runs one on request. The application menu's "Check for Updates…" binds to it.
class UpdaterManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    explicit UpdaterManager(QObject *parent = nullptr) : QObject(parent) {}

    bool canCheckForUpdates() const { return m_canCheckForUpdates; }
    virtual void checkForUpdates() = 0;

signals:
    void canCheckForUpdatesChanged(bool canCheck);

protected:
    void setCanCheckForUpdates(bool canCheck);

private:
    bool m_canCheckForUpdates = false;
};
