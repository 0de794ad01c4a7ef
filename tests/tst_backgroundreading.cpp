// Reading messages from login: BackgroundReading against a stand-in systemctl on PATH and a
// temporary autostart folder (its calls, what it reads back, failures and what they leave),
// and the store's switch operation over it.
#include "AwaitTask.h"
#include "StandInSystemctl.h"
#include "StoreTestKit.h"
#include "core/BackgroundReading.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using Way = BackgroundReadingState::Way;

namespace {

enum class Step { Read, On, Off };

// Runs the store's task to its end.
bool finish(QCoro::Task<> task)
{
    return razotest::awaitTask([](QCoro::Task<> t) -> QCoro::Task<bool> {
               co_await std::move(t);
               co_return true;
           }(std::move(task)))
        .has_value();
}

QByteArray fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Way)

class TestBackgroundReading : public QObject
{
    Q_OBJECT

private slots:
    void change_data()
    {
        QTest::addColumn<QStringList>("marks");
        QTest::addColumn<QByteArray>("autostartBefore"); // empty: no entry in the folder
        QTest::addColumn<bool>("withSystemctl");
        QTest::addColumn<Step>("step");
        QTest::addColumn<bool>("unitAfter");
        QTest::addColumn<bool>("autostartAfter");
        QTest::addColumn<Way>("route");
        QTest::addColumn<QString>("failure");     // a part of it; empty: none
        QTest::addColumn<QStringList>("changes"); // the calls that change something, in order

        const QString unit = QStringLiteral("razo-core.service");
        const QStringList none;
        const QByteArray entry = StandInSystemctl::templateText();
        const QByteArray hidden = "[Desktop Entry]\nHidden=true\n";
        const QStringList enableNow{QStringLiteral("enable --now ") + unit};
        const QStringList disable{QStringLiteral("disable ") + unit};
        const QString permission = QStringLiteral("没有权限修改 systemd 用户服务的设置");

        // Reading back.
        QTest::newRow("read: enabled, in a session")
            << QStringList{"installed", "enabled", "session"} << QByteArray() << true << Step::Read << true
            << false << Way::Unit << "" << none;
        QTest::newRow("read: hidden entry is off")
            << QStringList{"installed", "no-manager"} << hidden << true << Step::Read << false << false
            << Way::Autostart << "" << none;
        QTest::newRow("read: masked") << QStringList{"installed", "masked", "session"} << QByteArray() << true
                                      << Step::Read << false << false << Way::None << "已被屏蔽" << none;
        // Turning on: the unit where the session runs under a user manager, else the entry.
        QTest::newRow("on: unit") << QStringList{"installed", "session"} << QByteArray() << true << Step::On
                                  << true << false << Way::Unit << "" << enableNow;
        QTest::newRow("on: no user manager, entry")
            << QStringList{"installed", "no-manager"} << QByteArray() << true << Step::On << false << true
            << Way::Autostart << "" << none;
        QTest::newRow("on: session without the target, entry")
            << QStringList{"installed"} << QByteArray() << true << Step::On << false << true << Way::Autostart
            << "" << none;
        QTest::newRow("on: no systemctl, entry") << QStringList() << QByteArray() << false << Step::On
                                                 << false << true << Way::Autostart << "" << none;
        QTest::newRow("on: already on, nothing")
            << QStringList{"installed", "enabled", "session"} << QByteArray() << true << Step::On << true
            << false << Way::Unit << "" << none;
        // Turning off undoes both ways.
        QTest::newRow("off: both") << QStringList{"installed", "enabled", "session"} << entry << true
                                   << Step::Off << false << false << Way::Unit << "" << disable;
        QTest::newRow("off: entry only") << QStringList{"installed", "no-manager"} << entry << true
                                         << Step::Off << false << false << Way::Autostart << "" << none;
        // Failures leave it as it was and say why.
        QTest::newRow("on refused") << QStringList{"installed", "session", "refuse"} << QByteArray() << true
                                    << Step::On << false << false << Way::Unit << permission << enableNow;
        QTest::newRow("on: start fails, link undone")
            << QStringList{"installed", "session", "start-fails"} << QByteArray() << true << Step::On << false
            << false << Way::Unit << "systemctl 出错：Job for razo-core.service failed"
            << enableNow + disable;
        QTest::newRow("on: systemctl hangs")
            << QStringList{"installed", "session", "hang"} << QByteArray() << true << Step::On << false
            << false << Way::Unit << "秒内没有完成" << enableNow;
        QTest::newRow("off refused") << QStringList{"installed", "enabled", "session", "refuse"}
                                     << QByteArray() << true << Step::Off << true << false << Way::Unit
                                     << permission << disable;
        QTest::newRow("on: not installed") << QStringList() << QByteArray("no template") << false << Step::On
                                           << false << false << Way::None << "不是安装版" << none;
        QTest::newRow("on: masked") << QStringList{"installed", "masked", "session"} << QByteArray() << true
                                    << Step::On << false << false << Way::None << "已被屏蔽" << none;
        QTest::newRow("on: autostart folder not writable")
            << QStringList{"installed", "no-manager"} << QByteArray("folder is a file") << true << Step::On
            << false << false << Way::Autostart << "无法创建自动启动文件夹" << none;
    }

    void change()
    {
        QFETCH(QStringList, marks);
        QFETCH(QByteArray, autostartBefore);
        QFETCH(bool, withSystemctl);
        QFETCH(Step, step);
        QFETCH(bool, unitAfter);
        QFETCH(bool, autostartAfter);
        QFETCH(Way, route);
        QFETCH(QString, failure);
        QFETCH(QStringList, changes);

        StandInSystemctl systemctl;
        QVERIFY(systemctl.isValid());
        for (const QString& mark : marks)
            systemctl.mark(mark, mark == u"refuse" ? "Failed to enable unit: Permission denied\n" : "");
        BackgroundReadingSetup setup = systemctl.setup(withSystemctl);
        setup.timeout = std::chrono::milliseconds(300);
        const QString entryPath = systemctl.autostartFolder() + QStringLiteral("/") + setup.autostartName;
        if (autostartBefore == "no template") {
            setup.autostartTemplate.clear();
        } else if (autostartBefore == "folder is a file") {
            QDir().mkpath(QFileInfo(systemctl.autostartFolder()).path());
            QFile blocker(systemctl.autostartFolder());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        } else if (!autostartBefore.isEmpty()) {
            QDir().mkpath(systemctl.autostartFolder());
            QFile file(entryPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(autostartBefore);
        }

        const BackgroundReading reading(setup);
        const auto state =
            razotest::awaitTask(step == Step::Read ? reading.read() : reading.setEnabled(step == Step::On));
        QVERIFY(state);
        QVERIFY(state->known);
        QCOMPARE(state->unitEnabled, unitAfter);
        QCOMPARE(state->autostartInPlace, autostartAfter);
        QCOMPARE(state->route, route);
        QVERIFY2(failure.isEmpty()
                     ? state->failure.isEmpty() && (route != Way::None || !state->obstacle.isEmpty())
                     : (state->failure + state->obstacle).contains(failure),
                 qPrintable(state->failure + u'|' + state->obstacle));
        // The unit's state is what systemctl holds, and the entry on disk is the shipped one.
        QCOMPARE(systemctl.marked(QStringLiteral("enabled")), unitAfter);
        if (autostartAfter)
            QCOMPARE(fileText(entryPath), StandInSystemctl::templateText());
        QStringList changing;
        for (const QString& call : systemctl.calls()) {
            if (!call.startsWith(u"is-"))
                changing << call;
        }
        QCOMPARE(changing, changes);
        if (withSystemctl && marks.contains(u"installed"))
            QVERIFY(systemctl.calls().contains(QStringLiteral("is-enabled razo-core.service")));
    }

    // The store: the switch acts at once, shows the state read back, and says why it did not.
    void storeTurnsItOnAndSaysWhyNot()
    {
        storetestkit::Fixture f = storetestkit::makeStore(QUrl(QStringLiteral("http://127.0.0.1:9")));
        BridgeStore& store = *f.store;
        StandInSystemctl systemctl;
        systemctl.mark(QStringLiteral("installed"));
        systemctl.mark(QStringLiteral("session"));
        store.setBackgroundReadingSetup(systemctl.setup());

        QCOMPARE(store.backgroundReading().known, false);
        QVERIFY(finish(store.loadBackgroundReading()));
        QCOMPARE(store.backgroundReading().route, Way::Unit);
        QVERIFY(!store.backgroundReading().enabled());

        QSignalSpy changing(&store, &BridgeStore::isChangingBackgroundReadingChanged);
        auto on = store.setBackgroundReadingEnabled(true);
        QVERIFY(store.isChangingBackgroundReading());
        QVERIFY(finish(std::move(on)));
        QCOMPARE(changing.count(), 2);
        QVERIFY(store.backgroundReading().unitEnabled);
        QCOMPARE(store.toast(), QStringLiteral("已开启登录后在后台读取消息。"));

        systemctl.mark(QStringLiteral("refuse"), "Failed to disable unit: Permission denied\n");
        QVERIFY(finish(store.setBackgroundReadingEnabled(false)));
        QVERIFY(store.backgroundReading().unitEnabled);
        QCOMPARE(store.toast(),
                 QStringLiteral("登录后在后台读取消息：没有权限修改 systemd 用户服务的设置。"));
        // A later reading keeps the reason in view until the next change.
        QVERIFY(finish(store.loadBackgroundReading()));
        QVERIFY(store.backgroundReading().failure.contains(QStringLiteral("没有权限")));
    }
};

QTEST_MAIN(TestBackgroundReading)
#include "tst_backgroundreading.moc"
