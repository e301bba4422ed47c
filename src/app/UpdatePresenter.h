#pragma once

#include <QString>
#include <QUrl>

// The outcome of one user-started update check.
struct UpdateCheckResult {
    enum class Outcome { UpToDate, UpdateAvailable, Failed };

    Outcome outcome = Outcome::Failed;
    QString currentVersion;
    QString availableVersion; // UpdateAvailable: the version to show
    QUrl downloadPage;        // UpdateAvailable: where to get it
    QString error;            // Failed: why, as the network or the parser said it
};

// Shows the outcome of a check to the user.
class UpdatePresenter {
public:
    virtual ~UpdatePresenter() = default;
    virtual void present(const UpdateCheckResult &result) = 0;
};
