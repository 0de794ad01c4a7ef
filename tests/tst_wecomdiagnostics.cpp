#include "ui/settings/logic/WeComDiagnosticsPresentation.h"

#include <QTest>

using namespace wecomdiag;

namespace {

using Diag = std::optional<WeComDiagnosticsSnapshot>;
using OptText = std::optional<QString>;

WeComDiagnosticsSnapshot diag(OptText status, OptText quality = std::nullopt, OptText headline = std::nullopt)
{
    WeComDiagnosticsSnapshot d;
    d.status = std::move(status);
    d.captureQuality = std::move(quality);
    d.headline = std::move(headline);
    return d;
}

const QString kCheck = QStringLiteral("checkmark.circle.fill");
const QString kWarn = QStringLiteral("exclamationmark.triangle.fill");
const QString kStop = QStringLiteral("xmark.octagon.fill");
const QString kPause = QStringLiteral("pause.circle.fill");
const QString kQuestion = QStringLiteral("questionmark.circle.fill");
const QString kDetecting = QStringLiteral("正在检测企业微信系统通知、本地消息库和可见窗口。");

} // namespace

Q_DECLARE_METATYPE(StatusTint)

class TestWeComDiagnostics : public QObject
{
    Q_OBJECT

private slots:
    void diagnosticIsFoundOnlyAlongTheWholePath();
    void cardVerdict_data();
    void cardVerdict();
    void editorStatus_data();
    void editorStatus();
    void notificationTile_data();
    void notificationTile();
    void readableTileValues_data();
    void readableTileValues();
    void snapshotSubtitle_data();
    void snapshotSubtitle();
    void sidebarSubtitle_data();
    void sidebarSubtitle();
    void recommendationRows_data();
    void recommendationRows();
};

void TestWeComDiagnostics::diagnosticIsFoundOnlyAlongTheWholePath()
{
    QVERIFY(!wecomDiagnostic(std::nullopt));
    BridgeStateResponse s;
    QVERIFY(!wecomDiagnostic(s));
    s.diagnostics = DiagnosticsSnapshot{};
    QVERIFY(!wecomDiagnostic(s));
    s.diagnostics->wecom = diag(QStringLiteral("ready"));
    QCOMPARE(wecomDiagnostic(s), Diag(diag(QStringLiteral("ready"))));
}

void TestWeComDiagnostics::cardVerdict_data()
{
    QTest::addColumn<WeComDiagnosticsSnapshot>("diagnostic");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<StatusTint>("tint");
    QTest::newRow("status absent") << diag(std::nullopt) << "需检查" << kStop << StatusTint::Red;
    QTest::newRow("status absent, snapshot quality")
        << diag(std::nullopt, QStringLiteral("local_snapshot")) << "需检查" << kStop << StatusTint::Red;
    QTest::newRow("ready by snapshot") << diag(QStringLiteral("ready"), QStringLiteral("local_snapshot"))
                                       << "可读取快照" << kCheck << StatusTint::Green;
    QTest::newRow("ready") << diag(QStringLiteral("ready")) << "可读取通知" << kCheck << StatusTint::Green;
    QTest::newRow("ready, other quality")
        << diag(QStringLiteral("ready"), QStringLiteral("visible_window_no_text")) << "可读取通知" << kCheck
        << StatusTint::Green;
    QTest::newRow("limited") << diag(QStringLiteral("limited"), QStringLiteral("local_snapshot"))
                             << "有限读取" << kWarn << StatusTint::Orange;
    QTest::newRow("blocked") << diag(QStringLiteral("blocked")) << "无法全量读取" << kStop << StatusTint::Red;
    QTest::newRow("READY other case")
        << diag(QStringLiteral("READY")) << "需检查" << kStop << StatusTint::Red;
    QTest::newRow("unknown") << diag(QStringLiteral("checking")) << "需检查" << kStop << StatusTint::Red;
    QTest::newRow("empty") << diag(QString("")) << "需检查" << kStop << StatusTint::Red;
    QTest::newRow("padded ready") << diag(QStringLiteral(" ready")) << "需检查" << kStop << StatusTint::Red;
}

void TestWeComDiagnostics::cardVerdict()
{
    QFETCH(WeComDiagnosticsSnapshot, diagnostic);
    QFETCH(QString, title);
    QFETCH(QString, icon);
    QFETCH(StatusTint, tint);
    QCOMPARE(wecomdiag::cardVerdict(diagnostic), (StatusLook{title, icon, tint}));
}

void TestWeComDiagnostics::editorStatus_data()
{
    QTest::addColumn<Diag>("diagnostic");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<StatusTint>("tint");
    QTest::addColumn<QString>("help");
    const OptText headline = QStringLiteral("已读取 12 条通知");
    QTest::newRow("off, although ready") << Diag(diag(QStringLiteral("ready"), std::nullopt, headline))
                                         << false << "未开启" << kPause << StatusTint::Secondary << "";
    QTest::newRow("off, no diagnostics")
        << Diag() << false << "未开启" << kPause << StatusTint::Secondary << "";
    QTest::newRow("no diagnostics") << Diag() << true << "已开启，待诊断" << kQuestion
                                    << StatusTint::Secondary << kDetecting;
    QTest::newRow("status absent, headline kept")
        << Diag(diag(std::nullopt, std::nullopt, headline)) << true << "已开启，待诊断" << kQuestion
        << StatusTint::Secondary << *headline;
    QTest::newRow("ready") << Diag(diag(QStringLiteral("ready"), std::nullopt, headline)) << true
                           << "已开启，可读通知" << kCheck << StatusTint::Green << *headline;
    QTest::newRow("ready by snapshot")
        << Diag(diag(QStringLiteral("ready"), QStringLiteral("local_snapshot"))) << true << "已开启，可读通知"
        << kCheck << StatusTint::Green << kDetecting;
    QTest::newRow("limited, empty headline")
        << Diag(diag(QStringLiteral("limited"), std::nullopt, QString(""))) << true << "已开启，有限读取"
        << kWarn << StatusTint::Orange << kDetecting;
    QTest::newRow("blocked") << Diag(diag(QStringLiteral("blocked"), std::nullopt, headline)) << true
                             << "已开启，但无法全量读取" << kStop << StatusTint::Red << *headline;
    QTest::newRow("READY other case") << Diag(diag(QStringLiteral("READY"))) << true << "已开启，待诊断"
                                      << kQuestion << StatusTint::Secondary << kDetecting;
    QTest::newRow("unknown status") << Diag(diag(QStringLiteral("scanning"), std::nullopt, headline)) << true
                                    << "已开启，待诊断" << kQuestion << StatusTint::Secondary << *headline;
}

void TestWeComDiagnostics::editorStatus()
{
    QFETCH(Diag, diagnostic);
    QFETCH(bool, enabled);
    QFETCH(QString, title);
    QFETCH(QString, icon);
    QFETCH(StatusTint, tint);
    QFETCH(QString, help);
    QCOMPARE(wecomdiag::editorStatus(diagnostic, enabled), (EditorStatus{{title, icon, tint}, help}));
}

void TestWeComDiagnostics::notificationTile_data()
{
    QTest::addColumn<std::optional<NotificationDBDiagnosticsSnapshot>>("db");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("subtitle");
    using Db = std::optional<NotificationDBDiagnosticsSnapshot>;
    const QString noPermission = QStringLiteral("未检测到企业微信通知权限");
    const QString permitted = QStringLiteral("通知权限已开启，但记录数决定能否读取");
    QTest::newRow("absent") << Db() << "0" << noPermission;
    QTest::newRow("count absent") << Db(NotificationDBDiagnosticsSnapshot{}) << "0" << noPermission;
    NotificationDBDiagnosticsSnapshot on;
    on.recordCount = 1234;
    on.permission = NotificationPermissionSnapshot{};
    on.permission->enabled = true;
    QTest::newRow("permission on") << Db(on) << "1234" << permitted;
    NotificationDBDiagnosticsSnapshot off = on;
    off.recordCount = 0;
    off.permission->enabled = false;
    QTest::newRow("permission off") << Db(off) << "0" << noPermission;
    NotificationDBDiagnosticsSnapshot unreported = on;
    unreported.permission->enabled = std::nullopt;
    QTest::newRow("permission not reported") << Db(unreported) << "1234" << noPermission;
    NotificationDBDiagnosticsSnapshot noRecord = on;
    noRecord.permission = std::nullopt;
    QTest::newRow("permission record absent") << Db(noRecord) << "1234" << noPermission;
}

void TestWeComDiagnostics::notificationTile()
{
    QFETCH(std::optional<NotificationDBDiagnosticsSnapshot>, db);
    QFETCH(QString, value);
    QFETCH(QString, subtitle);
    WeComDiagnosticsSnapshot d;
    d.notificationDb = db;
    const QList<SourceTile> tiles = sourceTiles(d);
    QCOMPARE(tiles.size(), 3);
    QCOMPARE(tiles.at(0), (SourceTile{QStringLiteral("系统通知记录"), value, subtitle}));
    QCOMPARE(tiles.at(1).title, QStringLiteral("本地会话快照"));
    QCOMPARE(tiles.at(2).title, QStringLiteral("辅助功能侧栏"));
}

void TestWeComDiagnostics::readableTileValues_data()
{
    QTest::addColumn<std::optional<bool>>("snapshotAvailable");
    QTest::addColumn<std::optional<bool>>("previewAvailable");
    QTest::addColumn<QString>("snapshotValue");
    QTest::addColumn<QString>("previewValue");
    QTest::newRow("both true") << std::optional<bool>(true) << std::optional<bool>(true) << "可读取"
                               << "可读取";
    QTest::newRow("both false") << std::optional<bool>(false) << std::optional<bool>(false) << "未读到"
                                << "未读到";
    QTest::newRow("not reported") << std::optional<bool>() << std::optional<bool>() << "未读到"
                                  << "未读到";
    QTest::newRow("mixed") << std::optional<bool>(false) << std::optional<bool>(true) << "未读到"
                           << "可读取";
}

void TestWeComDiagnostics::readableTileValues()
{
    QFETCH(std::optional<bool>, snapshotAvailable);
    QFETCH(std::optional<bool>, previewAvailable);
    QFETCH(QString, snapshotValue);
    QFETCH(QString, previewValue);
    WeComDiagnosticsSnapshot d;
    d.localSnapshot = LocalSnapshotDiagnosticsSnapshot{};
    d.localSnapshot->available = snapshotAvailable;
    d.accessibilityPreview = AccessibilityPreviewDiagnosticsSnapshot{};
    d.accessibilityPreview->available = previewAvailable;
    const QList<SourceTile> tiles = sourceTiles(d);
    QCOMPARE(tiles.at(1).value, snapshotValue);
    QCOMPARE(tiles.at(2).value, previewValue);
    QCOMPARE(sourceTiles(WeComDiagnosticsSnapshot{}).at(1).value, QStringLiteral("未读到"));
}

void TestWeComDiagnostics::snapshotSubtitle_data()
{
    QTest::addColumn<std::optional<qint64>>("previewCount"); // nullopt with snapshotPresent false: no record
    QTest::addColumn<bool>("snapshotPresent");
    QTest::addColumn<std::optional<bool>>("sqlite");
    QTest::addColumn<bool>("storePresent");
    QTest::addColumn<QString>("expected");
    using N = std::optional<qint64>;
    using B = std::optional<bool>;
    const QString encrypted = QStringLiteral("消息库加密，等待快照");
    const QString none = QStringLiteral("未发现 conv_snapshot");
    QTest::newRow("three sessions") << N(3) << true << B(false) << true << "最近会话：3";
    QTest::newRow("one session") << N(1) << true << B() << false << "最近会话：1";
    QTest::newRow("zero, encrypted") << N(0) << true << B(false) << true << encrypted;
    QTest::newRow("zero, sqlite not reported") << N(0) << true << B() << true << none;
    QTest::newRow("zero, plain sqlite") << N(0) << true << B(true) << true << none;
    QTest::newRow("no snapshot, encrypted") << N() << false << B(false) << true << encrypted;
    QTest::newRow("count absent, no store") << N() << true << B() << false << none;
    QTest::newRow("negative count") << N(-2) << true << B() << false << none;
}

void TestWeComDiagnostics::snapshotSubtitle()
{
    QFETCH(std::optional<qint64>, previewCount);
    QFETCH(bool, snapshotPresent);
    QFETCH(std::optional<bool>, sqlite);
    QFETCH(bool, storePresent);
    QFETCH(QString, expected);
    WeComDiagnosticsSnapshot d;
    if (snapshotPresent) {
        d.localSnapshot = LocalSnapshotDiagnosticsSnapshot{};
        d.localSnapshot->previewCount = previewCount;
    }
    if (storePresent) {
        d.localStore = LocalStoreDiagnosticsSnapshot{};
        d.localStore->messageDbSqlite = sqlite;
    }
    QCOMPARE(wecomdiag::snapshotSubtitle(d), expected);
    QCOMPARE(sourceTiles(d).at(1).subtitle, expected);
}

void TestWeComDiagnostics::sidebarSubtitle_data()
{
    QTest::addColumn<std::optional<bool>>("permission");
    QTest::addColumn<bool>("accessibilityPresent");
    QTest::addColumn<OptText>("quality");
    QTest::addColumn<std::optional<qint64>>("count");
    QTest::addColumn<QString>("expected");
    using B = std::optional<bool>;
    using N = std::optional<qint64>;
    const QString off = QStringLiteral("辅助功能未开启");
    QTest::newRow("accessibility absent") << B() << false << OptText() << N(4) << off;
    QTest::newRow("permission not reported") << B() << true << OptText() << N(4) << off;
    QTest::newRow("permission before quality")
        << B(false) << true << OptText(QStringLiteral("local_snapshot")) << N(4) << off;
    QTest::newRow("snapshot took over")
        << B(true) << true << OptText(QStringLiteral("local_snapshot")) << N(4) << "已由本地快照接管";
    QTest::newRow("quality before count")
        << B(true) << true << OptText(QStringLiteral("visible_window_no_text")) << N(5)
        << "窗口存在，但企微未暴露文字";
    QTest::newRow("sidebar empty") << B(true) << true
                                   << OptText(QStringLiteral("accessibility_visible_empty")) << N(0)
                                   << "切到主聊天列表后重试";
    QTest::newRow("other quality, count")
        << B(true) << true << OptText(QStringLiteral("notification_db")) << N(5) << "可见会话：5";
    QTest::newRow("no quality, no count") << B(true) << true << OptText() << N() << "可见会话：0";
}

void TestWeComDiagnostics::sidebarSubtitle()
{
    QFETCH(std::optional<bool>, permission);
    QFETCH(bool, accessibilityPresent);
    QFETCH(OptText, quality);
    QFETCH(std::optional<qint64>, count);
    QFETCH(QString, expected);
    WeComDiagnosticsSnapshot d;
    if (accessibilityPresent) {
        d.accessibility = AccessibilityDiagnosticsSnapshot{};
        d.accessibility->permission = permission;
    }
    d.captureQuality = quality;
    if (count) {
        d.accessibilityPreview = AccessibilityPreviewDiagnosticsSnapshot{};
        d.accessibilityPreview->previewCount = count;
    }
    QCOMPARE(wecomdiag::sidebarSubtitle(d), expected);
    QCOMPARE(sourceTiles(d).at(2).subtitle, expected);
}

void TestWeComDiagnostics::recommendationRows_data()
{
    QTest::addColumn<std::optional<QStringList>>("recommendations");
    QTest::addColumn<QStringList>("rows");
    using L = std::optional<QStringList>;
    QTest::newRow("absent") << L() << QStringList();
    QTest::newRow("empty") << L(QStringList()) << QStringList();
    QTest::newRow("two") << L(QStringList{"a", "b"}) << QStringList{"a", "b"};
    QTest::newRow("five gives three")
        << L(QStringList{"一", "二", "三", "四", "五"}) << QStringList{"一", "二", "三"};
    QTest::newRow("repeats kept") << L(QStringList{"同", "同", "", "四"}) << QStringList{"同", "同", ""};
}

void TestWeComDiagnostics::recommendationRows()
{
    QFETCH(std::optional<QStringList>, recommendations);
    QFETCH(QStringList, rows);
    WeComDiagnosticsSnapshot d;
    d.recommendations = recommendations;
    QCOMPARE(wecomdiag::recommendationRows(d), rows);
}

QTEST_GUILESS_MAIN(TestWeComDiagnostics)
#include "tst_wecomdiagnostics.moc"
