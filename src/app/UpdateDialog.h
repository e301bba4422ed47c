#pragma once

#include "UpdatePresenter.h"

#include "LocalizationManager.h"

#include <QMessageBox>
#include <QPointer>

#include <functional>

class QWidget;

// Shows an update check's outcome in a small message box: up to date, a newer version with a
// button that opens its download page, or the error.
class UpdateDialog : public UpdatePresenter {
public:
    UpdateDialog(LocalizationManager *locManager, std::function<void(const QUrl &)> openUrl);

    void setParentWindow(QWidget *window) { m_parentWindow = window; }
    void present(const UpdateCheckResult &result) override;
    QMessageBox *currentBox() const { return m_box; }

private:
    QString pick(const QString &german, const QString &english) const;

    QPointer<LocalizationManager> m_locManager;
    std::function<void(const QUrl &)> m_openUrl;
    QPointer<QWidget> m_parentWindow;
    QPointer<QMessageBox> m_box;
};
