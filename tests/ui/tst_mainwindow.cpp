// The main window against a store whose client talks to an in-process fake core.
#include "FakeHttpServer.h"

#include "store/BridgeStore.h"
#include "ui/common/AppAppearance.h"
#include "ui/common/AppTheme.h"
#include "ui/common/BorderedButton.h"
#include "ui/common/ContentView.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/IconLabel.h"
#include "ui/common/MainWindow.h"
#include "ui/common/ShadowCaster.h"
#include "ui/common/SidebarFooterView.h"
#include "ui/common/SidebarNavButton.h"
#include "ui/common/SidebarView.h"
#include "ui/common/ToastView.h"
#include "ui/common/WindowPlacement.h"
#include "ui/common/logic/WindowFit.h"
#include "ui/overview/OverviewView.h"
#include "ui/overview/ProfilePromptButton.h"
#include "ui/overview/logic/ProfilePrompt.h"
#include "ui/settings/NativeSettingsView.h"
#include "ui/settings/SettingsDashboardView.h"
#include "ui/settings/SettingsTextField.h"
#include "ui/settings/UserProfileCard.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <QCoroTask>

namespace {

// A launcher that behaves like the real one towards the store: start() launches only when
// the child it started before is not running any more.
class CountingLauncher : public CoreLauncher
{
public:
    struct Counts
    {
        int calls = 0;
        int launches = 0;
        bool running = false;
    };
    explicit CountingLauncher(std::shared_ptr<Counts> counts) : m_counts(std::move(counts)) {}
    std::optional<CoreServiceError> start() override
    {
        ++m_counts->calls;
        if (!m_counts->running) {
            ++m_counts->launches;
            m_counts->running = true;
        }
        return std::nullopt;
    }
    void stop() override { m_counts->running = false; }

private:
    std::shared_ptr<Counts> m_counts;
};

QByteArray fixture(const QString& name)
{
    QFile f(QStringLiteral(RAZO_FIXTURES_DIR "/wire/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The full state with the user's name and aliases replaced and, when `demo`, the demo notice
// among the checklist items.
QByteArray stateWithProfile(const QString& name, const QJsonArray& aliases, bool demo)
{
    QJsonObject state = QJsonDocument::fromJson(fixture("state_full.json")).object();
    QJsonObject config = state.value("config").toObject();
    config.insert("user_profile", QJsonObject{{"display_name", name}, {"aliases", aliases}});
    state.insert("config", config);
    QJsonObject setup = state.value("setup").toObject();
    QJsonArray items = setup.value("items").toArray();
    if (demo)
        items.append(QJsonObject{{"key", "demo_data"}, {"status", "warning"}});
    setup.insert("items", items);
    state.insert("setup", setup);
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}

StoreTiming fastTiming()
{
    StoreTiming t;
    t.pollAttempts = 20;
    t.pollInterval = std::chrono::milliseconds(10);
    t.refreshInterval = std::chrono::minutes(10);     // no timer refresh during a test
    t.toastDuration = std::chrono::milliseconds(900); // longer than the toast's spring (0.7 s)
    return t;
}

ApiTimeouts fastTimeouts()
{
    ApiTimeouts t;
    t.getTimeout = std::chrono::seconds(3);
    t.postTimeout = std::chrono::seconds(3);
    t.overallTimeout = std::chrono::seconds(4);
    t.retryPause = std::chrono::milliseconds(10);
    t.probeTimeout = std::chrono::seconds(2);
    return t;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeHttpServer> m_server;
    std::shared_ptr<CountingLauncher::Counts> m_counts;
    std::unique_ptr<BridgeStore> m_store;

    // A healthy fake core: answers auth, state and events.
    void serveHealthyCore()
    {
        m_server->reply("GET", "/api/auth/status", FakeHttpServer::json(R"({"ok":true,"ready":true})"));
        m_server->reply("GET", "/api/state", FakeHttpServer::json(fixture("state_full.json")));
        m_server->reply("GET", "/api/events", FakeHttpServer::json(fixture("events_120.json")));
        m_server->reply("POST", "/api/desktop/open-config-dir", FakeHttpServer::json(R"({"ok":true})"));
    }

    // Brings a window up and waits until the start-up it triggers has loaded a state.
    void showAndSettle(MainWindow& w)
    {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY_WITH_TIMEOUT(m_store->state().has_value() && !m_store->isRefreshing(), 10000);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // never the user's own settings
        appearance::apply(*qApp);
        QVERIFY(!fixture("state_full.json").isEmpty());
    }

    void init()
    {
        m_server = std::make_unique<FakeHttpServer>();
        m_counts = std::make_shared<CountingLauncher::Counts>();
        m_store = std::make_unique<BridgeStore>(BridgeAPI(m_server->baseUrl(), fastTimeouts()),
                                                std::make_unique<CountingLauncher>(m_counts), fastTiming());
    }

    void cleanup()
    {
        m_store.reset();
        m_server.reset();
    }

    void windowIdentityAndMinimumSize()
    {
        serveHealthyCore();
        MainWindow w(*m_store);
        showAndSettle(w);
        QCOMPARE(w.objectName(), QStringLiteral("main"));
        QCOMPARE(w.windowTitle(), QStringLiteral("razo"));
        QCOMPARE(w.screen()->name(), QStringLiteral("razo-test-wide")); // 1920 x 1080
        QCOMPARE(w.minimumSize(), QSize(1120, 760));
        w.resize(800, 500);
        QVERIFY(w.width() >= 1120 && w.height() >= 760);
        // On a screen whose work area is smaller (1280 x 720) the window fits it, frame included.
        w.move(1920 + 10, 0);
        QTRY_COMPARE(w.screen()->name(), QStringLiteral("razo-test-small"));
        const int frame = w.frameGeometry().height() - w.geometry().height();
        QTRY_COMPARE(w.minimumSize(), QSize(1120, 720 - frame));
        // A 1366 x 768 laptop with a 27-point panel and a 37-point title bar.
        QCOMPARE(windowfit::boundedBy(QSize(1120, 760), QSize(1366, 768 - 27 - 37)), QSize(1120, 704));
        QVERIFY(!w.windowIcon().isNull());
        const int sidebar = w.content()->sidebar()->width();
        QVERIFY2(sidebar >= 188 && sidebar <= 230, qPrintable(QString::number(sidebar)));
    }

    void sidebarSelectsSection_data()
    {
        QTest::addColumn<AppSection>("section");
        QTest::addColumn<bool>("byShortcut");
        for (AppSection s : appsection::all()) {
            QTest::addRow("%s click", qPrintable(appsection::identifier(s))) << s << false;
            QTest::addRow("%s ctrl-number", qPrintable(appsection::identifier(s))) << s << true;
        }
    }
    void sidebarSelectsSection()
    {
        QFETCH(AppSection, section);
        QFETCH(bool, byShortcut);
        serveHealthyCore();
        MainWindow w(*m_store);
        showAndSettle(w);
        // Start away from the target so that the selection has to change.
        const AppSection other =
            section == AppSection::Overview ? AppSection::Settings : AppSection::Overview;
        m_store->setSelectedSection(other);
        QPointer<QWidget> before = w.content()->sectionView();

        SidebarView* sidebar = w.content()->sidebar();
        if (byShortcut) {
            const int n = int(appsection::all().indexOf(section)) + 1;
            auto* action = w.findChild<QAction*>(QStringLiteral("select_") + appsection::identifier(section));
            QVERIFY(action);
            QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + n)));
            QVERIFY(sidebar->button(section)->toolTip().contains(QStringLiteral("Ctrl+%1").arg(n)));
            action->trigger();
        } else {
            QTest::mouseClick(sidebar->button(section), Qt::LeftButton);
        }

        QCOMPARE(m_store->selectedSection(), section);
        QVERIFY(w.content()->sectionView() != before.data());
        QVERIFY(w.content()->sectionView()->isVisibleTo(&w));
        for (AppSection s : appsection::all())
            QCOMPARE(sidebar->button(s)->isSelected(), s == section);
        // Only the selected row is a tab stop, and keyboard focus in the sidebar follows the
        // selection: no focus ring stays on another row.
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        AppSection via = AppSection::Messages;
        for (AppSection s : appsection::all()) {
            if (s != section && s != other)
                via = s;
        }
        sidebar->button(other)->setFocus(Qt::TabFocusReason);
        m_store->setSelectedSection(via);
        m_store->setSelectedSection(section);
        for (AppSection s : appsection::all()) {
            QCOMPARE(sidebar->button(s)->hasFocus(), s == section);
            QCOMPARE(sidebar->button(s)->focusPolicy() == Qt::StrongFocus, s == section);
        }
        QVERIFY(sidebar->button(section)->showsFocusRing());
        // Only the selected row carries the raised background's shadow.
        QVERIFY(ShadowCaster::shadowOf(sidebar->button(section)).has_value());
        QVERIFY(!ShadowCaster::shadowOf(sidebar->button(other)).has_value());

        // The detail area shows exactly one section view: the old one is gone.
        QTRY_VERIFY(before.isNull());
        // Clicking the selected row again keeps it selected and the same view.
        QWidget* current = w.content()->sectionView();
        QTest::mouseClick(sidebar->button(section), Qt::LeftButton);
        QVERIFY(sidebar->button(section)->isSelected());
        QCOMPARE(w.content()->sectionView(), current);
    }

    void footerFollowsLastError()
    {
        serveHealthyCore();
        MainWindow w(*m_store);
        showAndSettle(w);
        SidebarFooterView* footer = w.content()->sidebar()->footer();
        QVERIFY(m_store->lastError().isEmpty());
        QCOMPARE(footer->statusLabel()->symbol(), QStringLiteral("checkmark.circle.fill"));
        QCOMPARE(footer->statusLabel()->color(), AppTheme::systemGreen());
        QCOMPARE(footer->statusLabel()->text(), m_store->serviceStatus());
        QVERIFY(!footer->errorLabel()->isVisible());

        // The core starts failing: the next refresh records an error.
        m_server->reply("GET", "/api/state", FakeHttpServer::Action::reply(500, "boom"));
        m_server->reply("GET", "/api/events", FakeHttpServer::Action::reply(500, "boom"));
        QCoro::waitFor(m_store->refreshAll());
        QVERIFY(!m_store->lastError().isEmpty());
        QCOMPARE(footer->statusLabel()->symbol(), QStringLiteral("exclamationmark.triangle.fill"));
        QCOMPARE(footer->statusLabel()->color(), AppTheme::systemOrange());
        QVERIFY(footer->errorLabel()->isVisible());
        QCOMPARE(footer->errorLabel()->text(), m_store->lastError());
        QVERIFY(footer->errorLabel()->visibleLines(footer->errorLabel()->width()).size() <= 3);
        // Assistive tools read the status and the error from the footer.
        QVERIFY(footer->accessibleDescription().contains(m_store->lastError()));
        QCOMPARE(footer->statusLabel()->accessibleName(), m_store->serviceStatus());

        // And recovers.
        serveHealthyCore();
        QCoro::waitFor(m_store->refreshAll());
        QVERIFY(m_store->lastError().isEmpty());
        QCOMPARE(footer->statusLabel()->color(), AppTheme::systemGreen());
        QVERIFY(!footer->errorLabel()->isVisible());
    }

    void errorTextIsCutAtThreeLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("ellipsis");
        QTest::newRow("short") << QStringLiteral("连接被拒绝") << 1 << false;
        QTest::newRow("two lines by break") << QStringLiteral("第一行\n第二行") << 2 << false;
        QTest::newRow("long") << QStringLiteral("无法连接本地核心：").repeated(12) << 3 << true;
        // Lines past the third join the third when they fit there...
        QTest::newRow("many short lines") << QStringLiteral("a\nb\nc\nd\ne") << 3 << false;
        // ...and are cut with an ellipsis when they do not.
        QTest::newRow("many long lines")
            << QStringLiteral("无法连接本地核心，请检查端口\n").repeated(6) << 3 << true;
    }
    void errorTextIsCutAtThreeLines()
    {
        QFETCH(QString, text);
        QFETCH(int, lines);
        QFETCH(bool, ellipsis);
        ElidedLabel label(text, 3);
        label.setFont(AppTheme::font(AppTheme::TextStyle::Caption2));
        const QStringList shown = label.visibleLines(160);
        QCOMPARE(shown.size(), lines);
        QCOMPARE(shown.last().endsWith(QChar(0x2026)), ellipsis);
        QCOMPARE(label.accessibleName(), text);
    }

    void refreshButtonDisabledWhileRefreshing()
    {
        serveHealthyCore();
        MainWindow w(*m_store);
        showAndSettle(w);
        BorderedButton* refresh = w.content()->refreshButton();
        BorderedButton* configDir = w.content()->configDirButton();
        QVERIFY(refresh->isEnabled());
        m_server->reply("GET", "/api/state", FakeHttpServer::json(fixture("state_full.json")).delayed(400));
        const int before = m_server->headCount("/api/state");
        QTest::mouseClick(refresh, Qt::LeftButton);
        QTRY_VERIFY(m_store->isRefreshing());
        QVERIFY(!refresh->isEnabled());
        QVERIFY(configDir->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!m_store->isRefreshing(), 5000);
        QVERIFY(refresh->isEnabled());
        QCOMPARE(m_server->headCount("/api/state"), before + 1);
    }

    void toastAppearsAndClears()
    {
        serveHealthyCore();
        MainWindow w(*m_store);
        showAndSettle(w);
        ToastView* toast = w.content()->toast();
        QWidget* detail = toast->parentWidget();
        QVERIFY(!toast->isVisible());
        m_store->showToast(QStringLiteral("已复制 Agent 链接和请求头"));
        QVERIFY(toast->isVisible());
        QCOMPARE(toast->message(), QStringLiteral("已复制 Agent 链接和请求头"));
        QCOMPARE(toast->accessibleName(), toast->message());
        // It starts below the bottom edge and springs into place, bottom centre.
        QTRY_VERIFY(toast->progress() > 0.99);
        QVERIFY(qAbs(toast->geometry().center().x() - detail->width() / 2) <= 1);
        QVERIFY(toast->geometry().bottom() < detail->height());
        QVERIFY(toast->geometry().bottom() > detail->height() - 60);
        const int restingTop = toast->y();
        // The store clears it after its delay; it moves down while fading, then hides.
        QTRY_VERIFY(m_store->toast().isEmpty());
        QTRY_VERIFY(toast->progress() < 0.9);
        QVERIFY(toast->y() > restingTop);
        QTRY_VERIFY(!toast->isVisible());
    }

    void menuCommandsCallTheStore()
    {
        serveHealthyCore();
        MainWindow w(*m_store);
        showAndSettle(w);
        QMenu* menu = w.findChild<QMenu*>(QStringLiteral("appMenu"));
        QVERIFY(menu);
        QCOMPARE(menu->title(), QStringLiteral("razo"));
        const QList<QAction*> actions = menu->actions();
        // The two commands lead the menu, in this order; entries after them (the settings
        // window) never take their shortcuts: Ctrl+, is "打开本地配置目录".
        QVERIFY(actions.size() >= 2);
        for (int i = 2; i < actions.size(); ++i) {
            QVERIFY(actions[i]->shortcut() != QKeySequence(Qt::CTRL | Qt::Key_Comma));
            QVERIFY(actions[i]->shortcut() != QKeySequence(Qt::CTRL | Qt::Key_R));
        }
        QCOMPARE(actions[0]->text(), QStringLiteral("刷新工作台"));
        QCOMPARE(actions[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
        QCOMPARE(actions[1]->text(), QStringLiteral("打开本地配置目录"));
        QCOMPARE(actions[1]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
        // "退出" ends the menu (what it does is checked through the accessibility bus).
        QCOMPARE(actions.last()->text(), QStringLiteral("退出"));
        QCOMPARE(actions.last()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QCOMPARE(actions.last(), w.quitAction());

        const int states = m_server->headCount("/api/state");
        actions[0]->trigger();
        QTRY_COMPARE(m_server->headCount("/api/state"), states + 1);
        QTRY_VERIFY(!m_store->isRefreshing());

        QCOMPARE(m_server->headCount("/api/desktop/open-config-dir"), 0);
        actions[1]->trigger();
        QTRY_COMPARE(m_server->headCount("/api/desktop/open-config-dir"), 1);
        // The toolbar's "配置目录" does the same.
        QTest::mouseClick(w.content()->configDirButton(), Qt::LeftButton);
        QTRY_COMPARE(m_server->headCount("/api/desktop/open-config-dir"), 2);
    }

    // Size, position, screen and section come back from razo's own settings, on a screen
    // that is still there; otherwise the window starts as on a first start.
    void placementIsRemembered_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<QRect>("restored"); // invalid: not restored
        QTest::newRow("as it was") << "razo-test-wide" << QRect(100, 120, 1200, 800)
                                   << QRect(100, 120, 1200, 800);
        QTest::newRow("on the other screen")
            << "razo-test-small" << QRect(1950, 0, 1200, 720) << QRect(1950, 0, 1200, 720);
        QTest::newRow("larger than its screen now")
            << "razo-test-small" << QRect(1930, 0, 1300, 840) << QRect(1920, 0, 1280, 720);
        QTest::newRow("partly off its screen")
            << "razo-test-wide" << QRect(1000, 500, 1280, 840) << QRect(640, 240, 1280, 840);
        QTest::newRow("a screen that is gone") << "HDMI-2" << QRect(100, 100, 1200, 800) << QRect();
        QTest::newRow("centre off its screen") << "razo-test-wide" << QRect(2500, 100, 1200, 800) << QRect();
    }
    void placementIsRemembered()
    {
        QFETCH(QString, screen);
        QFETCH(QRect, saved);
        QFETCH(QRect, restored);
        serveHealthyCore();
        QTemporaryDir dir;
        QSettings settings(dir.filePath("razo.conf"), QSettings::IniFormat);
        {
            MainWindow first(*m_store);
            showAndSettle(first);
            first.setGeometry(100, 120, 1200, 800);
            QTRY_COMPARE(first.normalGeometry(), QRect(100, 120, 1200, 800));
            m_store->setSelectedSection(AppSection::Chat);
            WindowPlacement(settings).save(first, *m_store);
            QCOMPARE(settings.value("window/screen").toString(), QStringLiteral("razo-test-wide"));
            QCOMPARE(settings.value("window/geometry").toRect(), QRect(100, 120, 1200, 800));
        }
        settings.setValue("window/screen", screen); // as if saved there
        settings.setValue("window/geometry", saved);
        m_store->setSelectedSection(AppSection::Overview);
        MainWindow second(*m_store);
        const QRect fresh = second.geometry();
        WindowPlacement(settings).restore(second, *m_store);
        QCOMPARE(second.geometry(), restored.isValid() ? restored : fresh);
        QCOMPARE(m_store->selectedSection(), AppSection::Chat);
    }

    // Once real messages arrive and nobody is named, the overview's prompt opens 个人识别
    // with the name field focused (a click here; the accessibility Press action clicks too).
    void profilePromptOpensTheProfile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QJsonArray>("aliases");
        QTest::addColumn<bool>("demo");
        QTest::addColumn<bool>("shown");
        QTest::newRow("no one, real messages") << "" << QJsonArray{} << false << true;
        QTest::newRow("blank name and alias") << "  " << QJsonArray{" "} << false << true;
        QTest::newRow("demo data still shown") << "" << QJsonArray{} << true << false;
        QTest::newRow("a name") << "王小明" << QJsonArray{} << false << false;
        QTest::newRow("an alias only") << "" << QJsonArray{"小王"} << false << false;
    }
    void profilePromptOpensTheProfile()
    {
        QFETCH(QString, name);
        QFETCH(QJsonArray, aliases);
        QFETCH(bool, demo);
        QFETCH(bool, shown);
        serveHealthyCore();
        m_server->reply("GET", "/api/state", FakeHttpServer::json(stateWithProfile(name, aliases, demo)));
        MainWindow w(*m_store);
        showAndSettle(w);
        auto* overview = qobject_cast<OverviewView*>(w.content()->sectionView());
        QVERIFY(overview);
        ProfilePromptButton* prompt = overview->profilePrompt();
        QCOMPARE(prompt->isVisible(), shown);
        if (!shown)
            return;
        QCOMPARE(prompt->accessibleName(), QStringLiteral("设置你的姓名，razo 才能找出找你的消息"));
        QTest::mouseClick(prompt, Qt::LeftButton);
        QCOMPARE(m_store->selectedSection(), AppSection::Settings);
        auto* settings = qobject_cast<SettingsDashboardView*>(w.content()->sectionView());
        QVERIFY(settings);
        QLineEdit* field = settings->userProfileCard()->nameField()->lineEdit();
        QTRY_VERIFY(field->hasFocus());
        QVERIFY(!m_store->settingsPlaceToShow()); // taken
        const QRect card(settings->userProfileCard()->mapTo(settings->viewport(), QPoint()),
                         settings->userProfileCard()->size());
        QVERIFY(settings->viewport()->rect().intersects(card));
        QVERIFY(settings->verticalScrollBar()->value() > 0);
    }

    void secondWindowSharesTheStoreAndLaunchesNoSecondCore()
    {
        // The core answers only once razo has launched it.
        serveHealthyCore();
        auto counts = m_counts;
        m_server->on("GET", "/api/auth/status", [counts](const FakeHttpServer::Request&) {
            return counts->running ? FakeHttpServer::json(R"({"ok":true})")
                                   : FakeHttpServer::Action::reply(503, "starting");
        });
        MainWindow first(*m_store);
        showAndSettle(first);
        QCOMPARE(m_counts->launches, 1);
        QVERIFY(m_store->hasRefreshTimer());

        MainWindow second(*m_store);
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QCOMPARE(second.startCount(), 1);
        QTRY_VERIFY(!m_store->isRefreshing());
        QTest::qWait(50);
        QCOMPARE(m_counts->launches, 1);
        QVERIFY(m_store->hasRefreshTimer());
        // Both windows show the one store: a selection made in one shows in the other.
        QTest::mouseClick(second.content()->sidebar()->button(AppSection::Chat), Qt::LeftButton);
        QVERIFY(first.content()->sidebar()->button(AppSection::Chat)->isSelected());
        QCOMPARE(first.content()->sidebar()->footer()->statusLabel()->text(),
                 second.content()->sidebar()->footer()->statusLabel()->text());
    }

    // The menu's two commands answer their shortcuts in the settings window as well; closing
    // the main window closes the settings window too, so that razo quits with both.
    void settingsWindowTakesCommandsAndClosesWithMain()
    {
        serveHealthyCore();
        MainWindow w(*m_store);
        showAndSettle(w);
        w.findChild<QAction*>(QStringLiteral("openSettingsWindowAction"))->trigger();
        QPointer<NativeSettingsView> settings = NativeSettingsView::current();
        QVERIFY(settings);
        QVERIFY(QTest::qWaitForWindowActive(settings));
        QLineEdit* field = settings->dashboard()->userProfileCard()->nameField()->lineEdit();
        field->setFocus();

        const int states = m_server->headCount("/api/state");
        QTest::keyClick(field, Qt::Key_R, Qt::ControlModifier);
        QTRY_COMPARE(m_server->headCount("/api/state"), states + 1);
        QTest::keyClick(field, Qt::Key_Comma, Qt::ControlModifier);
        QTRY_COMPARE(m_server->headCount("/api/desktop/open-config-dir"), 1);
        QTRY_VERIFY(!m_store->isRefreshing());

        w.close();
        QTRY_VERIFY(!settings);
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible(), qPrintable(top->objectName()));
    }

    void interactiveWidgetsAreNamed()
    {
        serveHealthyCore();
        MainWindow w(*m_store);
        showAndSettle(w);
        const QList<QAbstractButton*> buttons = w.findChildren<QAbstractButton*>();
        QVERIFY(buttons.size() >= 6);
        for (QAbstractButton* b : buttons) {
            if (!b->isVisibleTo(&w))
                continue;
            QVERIFY2(!b->objectName().isEmpty(), qPrintable(b->metaObject()->className()));
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(b);
            QVERIFY(iface);
            QCOMPARE(iface->text(QAccessible::Name), b->accessibleName());
            // Pressable (or, for the sidebar rows, toggleable) by an assistive tool.
            QVERIFY(iface->actionInterface());
            const QStringList acts = iface->actionInterface()->actionNames();
            QVERIFY2(acts.contains(b->isCheckable() ? QAccessibleActionInterface::toggleAction()
                                                    : QAccessibleActionInterface::pressAction()),
                     qPrintable(b->objectName()));
        }
        // An assistive tool selects a section through the row's action, without a click.
        QAccessibleInterface* row =
            QAccessible::queryAccessibleInterface(w.content()->sidebar()->button(AppSection::Settings));
        row->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(m_store->selectedSection(), AppSection::Settings);
        // The status footer reads as a status bar with the service status.
        QAccessibleInterface* footer =
            QAccessible::queryAccessibleInterface(w.content()->sidebar()->footer());
        QCOMPARE(footer->role(), QAccessible::StatusBar);
        QVERIFY(footer->text(QAccessible::Description).contains(m_store->serviceStatus()));
        QAccessibleInterface* status =
            QAccessible::queryAccessibleInterface(w.content()->sidebar()->footer()->statusLabel());
        QCOMPARE(status->role(), QAccessible::StaticText);
        QCOMPARE(status->text(QAccessible::Name), m_store->serviceStatus());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
