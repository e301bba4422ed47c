#include "MainView.h"

#include "DashboardTab.h"
#include "HeaderView.h"
#include "LocalizationManager.h"
#include "LogTab.h"
#include "SettingsTab.h"
#include "SymbolIcons.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QFrame>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

LazyTab::LazyTab(Build build, QWidget *parent) : QWidget(parent), m_build(std::move(build))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QWidget *LazyTab::content()
{
    if (!m_content && m_build) {
        m_content = m_build(this);
        m_build = nullptr;
        layout()->addWidget(m_content);
    }
    return m_content;
}

void LazyTab::showEvent(QShowEvent *event)
{
    content();
    QWidget::showEvent(event);
}

namespace {
constexpr int kTabPadding = 16;

QFrame *makeDivider(QWidget *parent)
{
    auto *divider = new QFrame(parent);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    return divider;
}
} // namespace

MainView::MainView(SyncManager *syncManager, LocalizationManager *locManager, const QString &version, QWidget *parent)
    : QWidget(parent), m_locManager(locManager), m_tabs(new QTabWidget(this)), m_footer(new QLabel(this))
{
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);

    m_tabs->setObjectName(QStringLiteral("mainTabs"));
    m_tabs->setDocumentMode(true);
    const QColor symbolColor = ViewStyle::secondaryText(this);
    m_tabs->addTab(new DashboardTab(syncManager, locManager, m_tabs),
                   SymbolIcons::icon(QStringLiteral("square.grid.2x2"), symbolColor), QString());
    // The Log and Settings tabs are built when first shown: most launches never open them.
    QPointer<SyncManager> mgr(syncManager);
    m_tabs->addTab(new LazyTab([mgr, locManager](QWidget *host) { return new LogTab(mgr, locManager, host); }, m_tabs),
                   SymbolIcons::icon(QStringLiteral("doc.text"), symbolColor), QString());
    m_tabs->addTab(
        new LazyTab([mgr, locManager](QWidget *host) { return new SettingsTab(mgr, locManager, host); }, m_tabs),
        SymbolIcons::icon(QStringLiteral("gearshape"), symbolColor), QString());
    m_tabs->setCurrentIndex(0);

    m_footer->setObjectName(QStringLiteral("versionFooter"));
    m_footer->setTextFormat(Qt::PlainText);
    m_footer->setFont(ViewStyle::font(11));
    m_footer->setAlignment(Qt::AlignCenter);
    m_footer->setContentsMargins(0, 10, 0, 10);
    ViewStyle::setTextColor(m_footer, ViewStyle::tertiaryText(this));
    m_footer->setText(footerText(version));

    auto *tabArea = new QVBoxLayout;
    tabArea->setContentsMargins(kTabPadding, kTabPadding, kTabPadding, kTabPadding);
    tabArea->addWidget(m_tabs);

    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(new HeaderView(syncManager, locManager, this));
    stack->addWidget(makeDivider(this));
    stack->addLayout(tabArea, 1);
    stack->addWidget(makeDivider(this));
    stack->addWidget(m_footer);

    if (m_locManager)
        connect(m_locManager, &LocalizationManager::langChanged, this, &MainView::retranslate);
    retranslate();
}

QString MainView::footerText(const QString &version)
{
    return QStringLiteral("Tandrill  ·  Version ") + (version.isEmpty() ? QStringLiteral("—") : version);
}

int MainView::currentTab() const
{
    return m_tabs->currentIndex();
}

void MainView::showTab(int index)
{
    m_tabs->setCurrentIndex(index);
}

void MainView::retranslate()
{
    const auto pick = [this](const char16_t *german, const char16_t *english) {
        const QString de = QString::fromUtf16(german);
        const QString en = QString::fromUtf16(english);
        return m_locManager ? m_locManager->pick(de, en) : de;
    };
    m_tabs->setTabText(0, pick(u"Dashboard", u"Dashboard"));
    m_tabs->setTabText(1, pick(u"Log", u"Log"));
    m_tabs->setTabText(2, pick(u"Einstellungen", u"Settings"));
}
