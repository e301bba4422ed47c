#include "BehaviorSection.h"
#include "TestEnvironment.h"
#include "TestMain.h"
#include "ToggleSwitch.h"
#include "ViewTestFixture.h"

#include <QPushButton>
#include <QtTest>

// The login item as the settings show it: disabled where the app cannot be one, and a way to the
// system settings while the system waits for the user's approval.
class LoginItemViewTest : public QObject {
    Q_OBJECT

    int m_case = 0;

    std::unique_ptr<ViewTestFixture> fixture()
    {
        return std::make_unique<ViewTestFixture>(TestEnvironment::root() + QLatin1String("/login-") +
                                                 QString::number(++m_case));
    }

private slots:
    void switchDisabledOutsideABundle()
    {
        auto available = fixture();
        available->startSetUp();
        BehaviorSection usable(&available->manager(), &available->loc());
        auto unbundled = fixture();
        unbundled->harness().loginItem().m_available = false;
        unbundled->startSetUp();
        BehaviorSection disabled(&unbundled->manager(), &unbundled->loc());

        auto *usableSwitch = childNamed<ToggleSwitch>(&usable, "launchAtLoginSwitch");
        auto *disabledSwitch = childNamed<ToggleSwitch>(&disabled, "launchAtLoginSwitch");
        QVERIFY(usableSwitch->isEnabled());
        QVERIFY(!disabledSwitch->isEnabled());
        QVERIFY(!disabledSwitch->toolTip().isEmpty());
        QVERIFY(disabledSwitch->toolTip() != usableSwitch->toolTip()); // says why, not what it would do
        QTest::mouseClick(disabledSwitch, Qt::LeftButton);
        QCOMPARE(unbundled->harness().loginItem().registerCalls, 0);
    }

    void approvalOffersTheSystemSettings_data()
    {
        QTest::addColumn<bool>("canOpen");
        QTest::newRow("macOS") << true;
        QTest::newRow("no such settings") << false;
    }

    void approvalOffersTheSystemSettings()
    {
        QFETCH(bool, canOpen);
        auto mac = fixture();
        FakeLoginItem &item = mac->harness().loginItem();
        item.m_canOpenSettings = canOpen;
        item.m_statusAfterRegister = LoginItem::Status::RequiresApproval;
        mac->startSetUp();
        BehaviorSection section(&mac->manager(), &mac->loc());
        QVERIFY(showView(&section, QSize(480, 240)));
        auto *open = childNamed<QPushButton>(&section, "openLoginItemsButton");
        QVERIFY(!open->isVisible()); // nothing waits for approval yet

        QTest::mouseClick(childNamed<ToggleSwitch>(&section, "launchAtLoginSwitch"), Qt::LeftButton);
        QCOMPARE(open->isVisible(), canOpen);
        if (canOpen) {
            QTest::mouseClick(open, Qt::LeftButton);
            QCOMPARE(item.settingsOpened, 1);
        }
    }
};

TANDRILL_TEST_CLASS(LoginItemViewTest)
#include "LoginItemViewTest.moc"
