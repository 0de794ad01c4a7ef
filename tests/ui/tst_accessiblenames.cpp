// Every control of the main window, section by section, carries an object name and a name a
// screen reader can speak; painted rows expose their text; the status footer exposes the
// service status. The AT-SPI side (a real bus, a real client) is tests/a11y/atspi_check.py.
#include "FakeHttpServer.h"
#include "StoreTestKit.h"
#include "store/AppSection.h"
#include "store/BridgeStore.h"
#include "ui/common/MainWindow.h"
#include "ui/common/SidebarFooterView.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTextEdit>
#include <QtTest>

using storetestkit::Fixture;

namespace {

// Widgets a user operates. Scroll bars belong to their scroll area; the line edits inside
// combo and spin boxes belong to their box.
bool isControl(const QWidget* w)
{
    if (qobject_cast<const QScrollBar*>(w))
        return false;
    if (qobject_cast<const QLineEdit*>(w) && (qobject_cast<const QComboBox*>(w->parentWidget()) ||
                                              qobject_cast<const QAbstractSpinBox*>(w->parentWidget())))
        return false;
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const QTabBar*>(w);
}

QString spokenName(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name).trimmed() : QString();
}

QString describe(const QWidget* w)
{
    QStringList chain;
    for (const QObject* o = w; o; o = o->parent())
        chain.prepend(o->objectName().isEmpty() ? QString::fromLatin1(o->metaObject()->className())
                                                : o->objectName());
    return chain.join(u'/');
}

} // namespace

class TestAccessibleNames : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void controlsAreNamed_data();
    void controlsAreNamed();
    void footerExposesServiceStatus();

private:
    std::unique_ptr<FakeHttpServer> m_server;
    Fixture m_fixture;
    std::unique_ptr<MainWindow> m_window;
};

void TestAccessibleNames::init()
{
    m_server = std::make_unique<FakeHttpServer>();
    storetestkit::serveHealthyCore(*m_server, QStringLiteral("state-1"),
                                   {QStringLiteral("第一条消息"), QStringLiteral("第二条消息")});
    m_fixture = storetestkit::makeStore(m_server->baseUrl());
    m_window = std::make_unique<MainWindow>(*m_fixture.store);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(m_fixture.store->state().has_value() && !m_fixture.store->isRefreshing(), 10000);
}

void TestAccessibleNames::cleanup()
{
    m_window.reset();
    m_fixture = {};
    m_server.reset();
}

void TestAccessibleNames::controlsAreNamed_data()
{
    QTest::addColumn<AppSection>("section");
    for (AppSection s : appsection::all())
        QTest::newRow(qPrintable(appsection::identifier(s))) << s;
}

void TestAccessibleNames::controlsAreNamed()
{
    QFETCH(AppSection, section);
    m_fixture.store->setSelectedSection(section);
    QCoreApplication::processEvents();
    QTest::qWait(50); // the old page is deleted later

    QStringList missing;
    int controls = 0;
    int rows = 0;
    for (QWidget* w : m_window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(m_window.get()) || !isControl(w))
            continue;
        ++controls;
        if (w->objectName().isEmpty())
            missing << QStringLiteral("no object name: %1 “%2”").arg(describe(w), spokenName(w));
        if (spokenName(w).isEmpty())
            missing << QStringLiteral("no accessible name: %1").arg(describe(w));
        if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model()) {
            const QAbstractItemModel* model = view->model();
            for (int r = 0; r < model->rowCount(view->rootIndex()); ++r) {
                const QModelIndex index = model->index(r, 0, view->rootIndex());
                ++rows;
                if (index.data(Qt::AccessibleTextRole).toString().trimmed().isEmpty() &&
                    index.data(Qt::DisplayRole).toString().trimmed().isEmpty())
                    missing << QStringLiteral("row %1 without text: %2").arg(r).arg(describe(w));
            }
        }
    }
    // The four section buttons and the two toolbar buttons are there on every page.
    QVERIFY2(controls >= 6, qPrintable(QStringLiteral("only %1 controls found").arg(controls)));
    if (section == AppSection::Messages)
        QVERIFY2(rows >= 2, "the timeline's rows were not found");
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
}

void TestAccessibleNames::footerExposesServiceStatus()
{
    auto* footer = m_window->findChild<SidebarFooterView*>();
    QVERIFY(footer);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(footer);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::StatusBar);
    const QString status = m_fixture.store->serviceStatus();
    QVERIFY(!status.isEmpty());
    QVERIFY2(iface->text(QAccessible::Description).contains(status),
             qPrintable(iface->text(QAccessible::Description)));
    // A screen reader walking the footer's children meets the status as text.
    bool spoken = false;
    for (int i = 0; i < iface->childCount(); ++i)
        spoken = spoken || iface->child(i)->text(QAccessible::Name) == status;
    QVERIFY2(spoken, "no child of the footer is named after the service status");
}

QTEST_MAIN(TestAccessibleNames)
#include "tst_accessiblenames.moc"
