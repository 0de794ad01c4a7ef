// Reading messages from login: BackgroundReading against a stand-in systemctl on PATH and a
// temporary autostart folder: its calls, what it reads back, failures and what they leave.
#include "AwaitTask.h"
#include "StandInSystemctl.h"
#include "core/BackgroundReading.h"

#include <QDir>
#include <QFile>
#include <QTest>

using Way = BackgroundReadingState::Way;

namespace {

enum class Step { Read, On, Off };

// Before: the stand-in's markers and the user's autostart folder ("entry", "hidden", "blocked":
// the folder is a file, "" none); after: what is read back and the calls that changed something.
struct Case
{
    QStringList marks;
    const char* folder;
    bool withSystemctl;
    Step step;
    bool unitAfter;
    bool autostartAfter;
    Way route;
    const char* failure; // a part of failure or obstacle; "" none
    QStringList changes;
};

const QString kEnableNow = QStringLiteral("enable --now razo-core.service");
const QString kDisable = QStringLiteral("disable razo-core.service");

} // namespace

Q_DECLARE_METATYPE(Case)

class TestBackgroundReading : public QObject
{
    Q_OBJECT

private slots:
    void change_data()
    {
        QTest::addColumn<Case>("c");
        const QStringList unit{"installed"}, session{"installed", "session"},
            noManager{"installed", "no-manager"};
        const QStringList on{"installed", "enabled", "session"};
        const char* permission = "没有权限修改 systemd 用户服务的设置";
        // Turning on: the unit where the session runs under a user manager, else the entry.
        QTest::newRow("on: unit") << Case{session, "",        true, Step::On,    true,
                                          false,   Way::Unit, "",   {kEnableNow}};
        QTest::newRow("on: no user manager")
            << Case{noManager, "", true, Step::On, false, true, Way::Autostart, "", {}};
        QTest::newRow("on: no graphical session")
            << Case{unit, "", true, Step::On, false, true, Way::Autostart, "", {}};
        QTest::newRow("on: no systemctl")
            << Case{{}, "", false, Step::On, false, true, Way::Autostart, "", {}};
        QTest::newRow("on: already on") << Case{on, "", true, Step::On, true, false, Way::Unit, "", {}};
        QTest::newRow("read: hidden entry is off")
            << Case{noManager, "hidden", true, Step::Read, false, false, Way::Autostart, "", {}};
        // Turning off undoes both ways; a running core is not stopped.
        QTest::newRow("off: both") << Case{on,    "entry",   true, Step::Off, false,
                                           false, Way::Unit, "",   {kDisable}};
        QTest::newRow("off: entry") << Case{noManager, "entry",        true, Step::Off, false,
                                            false,     Way::Autostart, "",   {}};
        // Failures leave it as it was and say why.
        QTest::newRow("on refused") << Case{session + QStringList{"refuse"},
                                            "",
                                            true,
                                            Step::On,
                                            false,
                                            false,
                                            Way::Unit,
                                            permission,
                                            {kEnableNow}};
        QTest::newRow("on: start fails, link undone")
            << Case{session + QStringList{"start-fails"},
                    "",
                    true,
                    Step::On,
                    false,
                    false,
                    Way::Unit,
                    "systemctl 出错：Job for razo-core.service failed",
                    {kEnableNow, kDisable}};
        QTest::newRow("on: systemctl hangs") << Case{session + QStringList{"hang"},
                                                     "",
                                                     true,
                                                     Step::On,
                                                     false,
                                                     false,
                                                     Way::Unit,
                                                     "秒内没有完成",
                                                     {kEnableNow}};
        QTest::newRow("off refused") << Case{
            on + QStringList{"refuse"}, "", true, Step::Off, true, false, Way::Unit, permission, {kDisable}};
        QTest::newRow("on: not installed")
            << Case{{}, "no template", false, Step::On, false, false, Way::None, "不是安装版", {}};
        QTest::newRow("on: masked") << Case{
            session + QStringList{"masked"}, "", true, Step::On, false, false, Way::None, "已被屏蔽", {}};
        QTest::newRow("on: folder not writable") << Case{
            noManager, "blocked", true, Step::On, false, false, Way::Autostart, "无法创建自动启动文件夹", {}};
    }

    void change()
    {
        QFETCH(Case, c);
        StandInSystemctl systemctl;
        QVERIFY(systemctl.isValid());
        for (const QString& mark : c.marks)
            systemctl.mark(mark, mark == u"refuse" ? "Failed to enable unit: Permission denied\n" : "");
        BackgroundReadingSetup setup = systemctl.setup(c.withSystemctl);
        setup.timeout = std::chrono::milliseconds(300);
        const QString entryPath = systemctl.autostartFolder() + QStringLiteral("/") + setup.autostartName;
        const QByteArray folder(c.folder);
        if (folder == "no template")
            setup.autostartTemplate.clear();
        QDir().mkpath(folder == "blocked" ? QFileInfo(systemctl.autostartFolder()).path()
                                          : systemctl.autostartFolder());
        QFile before(folder == "blocked" ? systemctl.autostartFolder() : entryPath);
        if (folder == "blocked" || folder == "entry" || folder == "hidden") {
            QVERIFY(before.open(QIODevice::WriteOnly));
            before.write(folder == "hidden" ? "[Desktop Entry]\nHidden=true\n"
                                            : StandInSystemctl::templateText());
            before.close();
        }

        const BackgroundReading reading(setup);
        const auto state = razotest::awaitTask(c.step == Step::Read ? reading.read()
                                                                    : reading.setEnabled(c.step == Step::On));
        QVERIFY(state && state->known);
        QCOMPARE(state->unitEnabled, c.unitAfter);
        QCOMPARE(state->autostartInPlace, c.autostartAfter);
        QCOMPARE(state->route, c.route);
        const QString said = state->failure + u'|' + state->obstacle;
        QVERIFY2(*c.failure
                     ? said.contains(QString::fromUtf8(c.failure))
                     : state->failure.isEmpty() && (c.route != Way::None || !state->obstacle.isEmpty()),
                 qPrintable(said));
        // What systemctl holds and what is on disk agree with what was read back.
        QCOMPARE(systemctl.marked(QStringLiteral("enabled")), c.unitAfter);
        if (c.autostartAfter) {
            QFile entry(entryPath);
            QVERIFY(entry.open(QIODevice::ReadOnly));
            QCOMPARE(entry.readAll(), StandInSystemctl::templateText());
        }
        QStringList changing;
        for (const QString& call : systemctl.calls()) {
            if (!call.startsWith(u"is-"))
                changing << call;
        }
        QCOMPARE(changing, c.changes);
        if (c.withSystemctl)
            QVERIFY(systemctl.calls().contains(QStringLiteral("is-enabled razo-core.service")));
    }
};

QTEST_MAIN(TestBackgroundReading)
#include "tst_backgroundreading.moc"
