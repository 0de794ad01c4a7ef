// The user's actions that change something in the core: complete a to-do, read WeCom
// now, save settings, push to the website bridge, open the configuration folder.
#include "store/BridgeStore.h"

#include "common/Logging.h"

namespace {

// The texts one action shows.
struct ActionTexts
{
    QString success;  // toast when a successful reply has no message
    QString fallback; // text of a refusal that has neither message nor error
    QString prefix;   // toast prefix when the request itself fails
};

// What became of one request, in the terms the store shows.
struct ActionOutcome
{
    enum class Kind { Success, Refused, Failed } kind;
    QString toast;     // text for the toast
    QString lastError; // text for lastError (refusals and failures)
};

// What a refusal says: its `message`, else its `error`, skipping a text that is empty or
// only blanks (shown, it would be no toast and an empty error line: a silent failure);
// none when neither says anything.
template <typename Reply> std::optional<QString> refusalText(const Reply& reply)
{
    for (const std::optional<QString>& text : {reply.message, reply.error}) {
        if (text && !text->trimmed().isEmpty())
            return *text;
    }
    return std::nullopt;
}

template <typename Reply> bool isRefusal(const Reply& reply)
{
    return reply.ok.has_value() && !*reply.ok;
}

// A reply counts as a refusal only when `ok` is present and false. The text of a
// refusal is its own (refusalText), else the action's fallback.
template <typename Reply>
ActionOutcome outcomeOf(const Result<Reply, BridgeAPIError>& result, const ActionTexts& texts)
{
    if (!result.ok()) {
        const QString description = result.error().description();
        return {ActionOutcome::Kind::Failed, texts.prefix + description, description};
    }
    const Reply& reply = result.value();
    if (isRefusal(reply)) {
        const QString text = refusalText(reply).value_or(texts.fallback);
        return {ActionOutcome::Kind::Refused, text, text};
    }
    return {ActionOutcome::Kind::Success, reply.message.value_or(texts.success), QString()};
}

const ActionTexts kCompleteTexts{QStringLiteral("已完成，已从待办列表移除。"), QStringLiteral("完成事项失败"),
                                 QStringLiteral("完成事项失败：")};
const ActionTexts kScanTexts{QStringLiteral("企业微信读取完成"), QStringLiteral("企业微信读取失败"),
                             QStringLiteral("企业微信读取失败：")};
const ActionTexts kSaveTexts{QStringLiteral("设置已保存"), QStringLiteral("设置保存失败"),
                             QStringLiteral("设置保存失败：")};
const ActionTexts kSyncTexts{QStringLiteral("已同步到网站桥接，手机端可以读取最新整理结果。"),
                             QStringLiteral("网站桥接同步失败"), QStringLiteral("网站桥接同步失败：")};
const QString kOpenConfigSuccess = QStringLiteral("已打开本地配置目录");
const QString kOpenConfigFailed = QStringLiteral("打开配置目录失败");
const QString kOpenConfigPrefix = QStringLiteral("打开配置目录失败：");

} // namespace

QCoro::Task<> BridgeStore::completeTask(QString id, QString itemText)
{
    if (m_completingTaskIds.contains(id))
        co_return;
    const auto alive = m_alive;
    m_completingTaskIds.insert(id);
    emit completingTaskIdsChanged();

    const auto result = co_await m_api.completeTask(itemText);
    if (!*alive)
        co_return;
    const ActionOutcome outcome = outcomeOf(result, kCompleteTexts);
    co_await applyActionOutcome(outcome.kind == ActionOutcome::Kind::Success, outcome.toast,
                                outcome.lastError);
    if (!*alive)
        co_return;
    m_completingTaskIds.remove(id);
    emit completingTaskIdsChanged();
}

QCoro::Task<> BridgeStore::scanVisibleWeCom()
{
    const auto alive = m_alive;
    setScanningWeCom(true);
    const auto result = co_await m_api.scanVisibleWeCom();
    if (!*alive)
        co_return;
    const ActionOutcome outcome = outcomeOf(result, kScanTexts);
    co_await applyActionOutcome(outcome.kind == ActionOutcome::Kind::Success, outcome.toast,
                                outcome.lastError);
    if (!*alive)
        co_return;
    setScanningWeCom(false);
}

QCoro::Task<> BridgeStore::saveNativeSettings(QJsonObject payload)
{
    const auto alive = m_alive;
    setSavingSettings(true);
    const auto result = co_await m_api.saveNativeConfig(payload);
    if (!*alive)
        co_return;
    const ActionOutcome outcome = outcomeOf(result, kSaveTexts);
    if (outcome.kind == ActionOutcome::Kind::Success)
        emit nativeSettingsSaved();
    co_await applyActionOutcome(outcome.kind == ActionOutcome::Kind::Success, outcome.toast,
                                outcome.lastError);
    if (!*alive)
        co_return;
    setSavingSettings(false);
}

QCoro::Task<> BridgeStore::syncWebsiteBridge(bool silent)
{
    if (m_isSyncingWebsiteBridge)
        co_return;
    const auto alive = m_alive;
    setSyncingWebsiteBridge(true);

    const auto result = co_await m_api.pushRemoteContext();
    if (!*alive)
        co_return;
    const ActionOutcome outcome = outcomeOf(result, kSyncTexts);
    switch (outcome.kind) {
    case ActionOutcome::Kind::Success: {
        const QDateTime now = m_timing.now();
        m_lastWebsiteBridgeSyncAt = now;
        setWebsiteBridgeStatus(websiteBridgeStatusText(result.value(), now));
        if (!silent)
            showToast(outcome.toast);
        break;
    }
    case ActionOutcome::Kind::Refused:
        // The status line keeps describing the last successful sync.
        if (!silent) {
            setLastError(outcome.lastError);
            showToast(outcome.toast);
        }
        break;
    case ActionOutcome::Kind::Failed:
        setWebsiteBridgeStatus(outcome.toast);
        if (!silent) {
            setLastError(outcome.lastError);
            showToast(outcome.toast);
        }
        break;
    }
    // Whatever came of it, the next automatic attempt keeps its distance (a refusing or
    // unreachable bridge is not asked again after every refresh).
    if (silent)
        m_lastAutomaticSyncAt = m_timing.now();
    setSyncingWebsiteBridge(false);
}

QCoro::Task<> BridgeStore::openConfigDir()
{
    const auto alive = m_alive;
    const auto result = co_await m_api.openConfigDir();
    if (!*alive)
        co_return;
    if (!result.ok()) {
        const QString description = result.error().description();
        setLastError(description);
        showToast(kOpenConfigPrefix + description);
        co_return;
    }
    // The core opens the folder itself and says when it could not.
    const APIActionResponse& reply = result.value();
    if (isRefusal(reply)) {
        const std::optional<QString> reason = refusalText(reply);
        setLastError(reason.value_or(kOpenConfigFailed));
        showToast(reason ? kOpenConfigPrefix + *reason : kOpenConfigFailed);
        co_return;
    }
    showToast(reply.message.value_or(kOpenConfigSuccess));
}

// A successful action shows its toast, then reloads everything (its busy marker stays set
// until the reload has finished); a refused or failed one only reports.
QCoro::Task<> BridgeStore::applyActionOutcome(bool success, QString toast, QString lastError)
{
    if (!success) {
        setLastError(lastError);
        showToast(toast);
        co_return;
    }
    showToast(toast);
    co_await refreshAll();
}

void BridgeStore::maybeSyncWebsiteBridge()
{
    if (!m_state || m_isSyncingWebsiteBridge)
        return;
    // Spaced from the last successful sync (manual or automatic) and from the last
    // automatic attempt, whatever its outcome. A time in the future gives a negative age
    // and blocks as well.
    const QDateTime now = m_timing.now();
    for (const std::optional<QDateTime>& last : {m_lastWebsiteBridgeSyncAt, m_lastAutomaticSyncAt}) {
        if (last && last->secsTo(now) < m_timing.autoSyncMinimumAge.count())
            return;
    }
    syncWebsiteBridge(true); // the refresh does not wait for it
}

QString BridgeStore::websiteBridgeStatusText(const APIActionResponse& reply, const QDateTime& time,
                                             const QString& origin)
{
    const QString clock = time.toString(QStringLiteral("HH:mm:ss"));
    std::optional<QString> link = reply.mobileUrl;
    if (!link) {
        QString base = origin.trimmed();
        if (!base.isEmpty()) {
            while (base.startsWith(QLatin1Char('/')))
                base.remove(0, 1);
            while (base.endsWith(QLatin1Char('/')))
                base.chop(1);
            link = base + QStringLiteral("/mobile.html#remote-context");
        }
    }
    if (link && !link->isEmpty())
        return QStringLiteral("上次同步：") + clock + QStringLiteral("，手机入口：") + *link;
    return QStringLiteral("上次同步：") + clock;
}
