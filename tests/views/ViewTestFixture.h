#pragma once

#include "CoordinatorHarness.h"
#include "LocalizationManager.h"

#include <QMenu>
#include <QString>
#include <QTest>
#include <QWidget>

#include <memory>

// This Mac's coordinator (fake services, virtual time) and language; other Macs appear as their files.
class ViewTestFixture {
public:
    explicit ViewTestFixture(const QString &root, const QString &hostname = QStringLiteral("Studio"));
    ~ViewTestFixture();

    CoordinatorHarness &harness() { return *m_harness; }
    SyncManager &manager() { return m_harness->manager(); }
    LocalizationManager &loc() { return *m_loc; }
    QString folder() const { return m_folder; }

    SyncManager &startSetUp(); // set up with the folder, started and settled
    SyncManager &startFresh(); // first launch: no set-up yet

    void writeStatus(const QString &hostname, const QString &action, const QString &time);
    void writeConflictMarker();
    void refresh(); // refreshAll and wait for the folder reads
    void settle();

private:
    QString m_folder;
    std::unique_ptr<CoordinatorHarness> m_harness;
    std::unique_ptr<LocalizationManager> m_loc;
};

// Shows a widget offscreen at a window size and waits until it is laid out.
[[nodiscard]] bool showView(QWidget *view, QSize size = QSize(560, 760));

template <typename T> T *childNamed(const QObject *root, const char *name)
{
    return root->findChild<T *>(QString::fromLatin1(name));
}

// A menu row's text as shown, without the escapes of ampersands.
inline QString shownText(const QAction *action)
{
    return action->text().replace(QStringLiteral("&&"), QStringLiteral("&"));
}

// The menu's row whose shown text starts with `start`, or null.
inline QAction *menuRow(const QMenu *menu, const QString &start)
{
    const QList<QAction *> rows = menu->actions();
    const auto row = std::find_if(rows.begin(), rows.end(), [&](QAction *a) { return shownText(a).startsWith(start); });
    return row == rows.end() ? nullptr : *row;
}
