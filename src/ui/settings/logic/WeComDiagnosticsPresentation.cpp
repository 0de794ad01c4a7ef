#include "ui/settings/logic/WeComDiagnosticsPresentation.h"

namespace wecomdiag {

namespace {

constexpr qsizetype kMaxRecommendations = 3;

const QString kReady = QStringLiteral("ready");
const QString kLimited = QStringLiteral("limited");
const QString kBlocked = QStringLiteral("blocked");

const QString kIconCheck = QStringLiteral("checkmark.circle.fill");
const QString kIconWarning = QStringLiteral("exclamationmark.triangle.fill");
const QString kIconStop = QStringLiteral("xmark.octagon.fill");
const QString kIconPause = QStringLiteral("pause.circle.fill");
const QString kIconQuestion = QStringLiteral("questionmark.circle.fill");

QString readableOr(const std::optional<bool>& available)
{
    return available.value_or(false) ? QStringLiteral("可读取") : QStringLiteral("未读到");
}

} // namespace

std::optional<WeComDiagnosticsSnapshot> wecomDiagnostic(const std::optional<BridgeStateResponse>& state)
{
    if (!state || !state->diagnostics)
        return std::nullopt;
    return state->diagnostics->wecom;
}

StatusLook cardVerdict(const WeComDiagnosticsSnapshot& diagnostic)
{
    const StatusLook needsCheck{QStringLiteral("需检查"), kIconStop, StatusTint::Red};
    if (!diagnostic.status)
        return needsCheck;
    const QString& status = *diagnostic.status;
    if (status == kReady) {
        if (diagnostic.captureQuality == QStringLiteral("local_snapshot"))
            return {QStringLiteral("可读取快照"), kIconCheck, StatusTint::Green};
        return {QStringLiteral("可读取通知"), kIconCheck, StatusTint::Green};
    }
    if (status == kLimited)
        return {QStringLiteral("有限读取"), kIconWarning, StatusTint::Orange};
    if (status == kBlocked)
        return {QStringLiteral("无法全量读取"), kIconStop, StatusTint::Red};
    return needsCheck;
}

EditorStatus editorStatus(const std::optional<WeComDiagnosticsSnapshot>& diagnostic, bool wecomEnabled)
{
    if (!wecomEnabled)
        return {{QStringLiteral("未开启"), kIconPause, StatusTint::Secondary}, QString()};

    const std::optional<QString>& headline = diagnostic ? diagnostic->headline : std::nullopt;
    const QString help = headline && !headline->isEmpty()
                             ? *headline
                             : QStringLiteral("正在检测企业微信系统通知、本地消息库和可见窗口。");
    const StatusLook pending{QStringLiteral("已开启，待诊断"), kIconQuestion, StatusTint::Secondary};
    if (!diagnostic || !diagnostic->status)
        return {pending, help};
    const QString& status = *diagnostic->status;
    if (status == kReady)
        return {{QStringLiteral("已开启，可读通知"), kIconCheck, StatusTint::Green}, help};
    if (status == kLimited)
        return {{QStringLiteral("已开启，有限读取"), kIconWarning, StatusTint::Orange}, help};
    if (status == kBlocked)
        return {{QStringLiteral("已开启，但无法全量读取"), kIconStop, StatusTint::Red}, help};
    return {pending, help};
}

QString snapshotSubtitle(const WeComDiagnosticsSnapshot& diagnostic)
{
    const auto& snapshot = diagnostic.localSnapshot;
    if (snapshot && snapshot->previewCount && *snapshot->previewCount >= 1)
        return QStringLiteral("最近会话：") + QString::number(*snapshot->previewCount);
    const auto& store = diagnostic.localStore;
    if (store && store->messageDbSqlite == false)
        return QStringLiteral("消息库加密，等待快照");
    return QStringLiteral("未发现 conv_snapshot");
}

QString sidebarSubtitle(const WeComDiagnosticsSnapshot& diagnostic)
{
    if (!diagnostic.accessibility || diagnostic.accessibility->permission != true)
        return QStringLiteral("辅助功能未开启");
    const QString quality = diagnostic.captureQuality.value_or(QString());
    if (quality == QStringLiteral("local_snapshot"))
        return QStringLiteral("已由本地快照接管");
    if (quality == QStringLiteral("visible_window_no_text"))
        return QStringLiteral("窗口存在，但企微未暴露文字");
    if (quality == QStringLiteral("accessibility_visible_empty"))
        return QStringLiteral("切到主聊天列表后重试");
    const qint64 count =
        diagnostic.accessibilityPreview ? diagnostic.accessibilityPreview->previewCount.value_or(0) : 0;
    return QStringLiteral("可见会话：") + QString::number(count);
}

QList<SourceTile> sourceTiles(const WeComDiagnosticsSnapshot& diagnostic)
{
    const auto& db = diagnostic.notificationDb;
    const qint64 records = db ? db->recordCount.value_or(0) : 0;
    const bool permitted = db && db->permission && db->permission->enabled == true;
    const auto& preview = diagnostic.accessibilityPreview;
    const auto& snapshot = diagnostic.localSnapshot;
    return {
        {QStringLiteral("系统通知记录"), QString::number(records),
         permitted ? QStringLiteral("通知权限已开启，但记录数决定能否读取")
                   : QStringLiteral("未检测到企业微信通知权限")},
        {QStringLiteral("本地会话快照"), readableOr(snapshot ? snapshot->available : std::nullopt),
         snapshotSubtitle(diagnostic)},
        {QStringLiteral("辅助功能侧栏"), readableOr(preview ? preview->available : std::nullopt),
         sidebarSubtitle(diagnostic)},
    };
}

QStringList recommendationRows(const WeComDiagnosticsSnapshot& diagnostic)
{
    return diagnostic.recommendations ? diagnostic.recommendations->mid(0, kMaxRecommendations)
                                      : QStringList();
}

QString cardTitle()
{
    return QStringLiteral("企业微信读取诊断");
}

QString fallbackHeadline()
{
    return QStringLiteral("企业微信诊断");
}

QString adviceTitle()
{
    return QStringLiteral("建议");
}

QString adviceNote()
{
    return QStringLiteral("企业微信默认不用 OCR。软件会优先读取本地会话快照和系统通知，辅助功能只作为补充；"
                          "点击“立即读取企微消息”会立即补抓企微快照变化。");
}

QString scanLabel(bool scanning)
{
    return scanning ? QStringLiteral("读取中") : QStringLiteral("立即读取企微消息");
}

} // namespace wecomdiag
