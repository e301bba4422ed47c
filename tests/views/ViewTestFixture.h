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

// The menu's row whose text as shown (ampersands unescaped) starts with `start`, or null.
inline QAction *menuRow(const QMenu *menu, const QString &start)
{
    for (QAction *row : menu->actions())
        if (row->text().replace(QStringLiteral("&&"), QStringLiteral("&")).startsWith(start))
            return row;
    return nullptr;
}
