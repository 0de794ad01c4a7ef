#include "ui/settings/logic/NativeSettingsDraft.h"

#include "store/BridgeStore.h"

#include <QJsonValue>

namespace {

const QString kOcr = QStringLiteral("ocr");

QString joinedLines(const std::optional<QStringList>& lines)
{
    return lines ? lines->join(QLatin1Char('\n')) : QString();
}

} // namespace

QString NativeSettingsDraft::defaultSource()
{
    return QStringLiteral("notification-db");
}

QString NativeSettingsDraft::defaultRuleMode()
{
    return QStringLiteral("all_incoming");
}

QString NativeSettingsDraft::defaultAIProvider()
{
    return QStringLiteral("deepseek");
}

QString NativeSettingsDraft::defaultAIModel()
{
    return QStringLiteral("deepseek-chat");
}

QString NativeSettingsDraft::defaultAIBaseURL()
{
    return QStringLiteral("https://api.deepseek.com/chat/completions");
}

QString NativeSettingsDraft::defaultAIKeyEnv()
{
    return QStringLiteral("DEEPSEEK_API_KEY");
}

QString NativeSettingsDraft::defaultWebsiteBridgeBaseURL()
{
    return BridgeStore::websiteBridgeOrigin();
}

QString NativeSettingsDraft::allowlistText(const std::optional<QList<AllowlistSnapshot>>& allowlist)
{
    QStringList names;
    if (allowlist) {
        for (const AllowlistSnapshot& entry : *allowlist) {
            if (!entry.enabled.value_or(true) || !entry.name)
                continue;
            const QString name = entry.name->trimmed();
            if (!name.isEmpty())
                names << name;
        }
    }
    return names.join(QLatin1Char('\n'));
}

QString NativeSettingsDraft::wecomSourceRule(const std::optional<QString>& source)
{
    const QString trimmed = source.value_or(QString()).trimmed();
    return trimmed.isEmpty() || trimmed == kOcr ? defaultSource() : trimmed;
}

void NativeSettingsDraft::load(const std::optional<BridgeStateResponse>& state)
{
    if (!state)
        return;
    const std::optional<ConfigSnapshot>& config = state->config;
    const ConfigSnapshot none;
    const ConfigSnapshot& c = config ? *config : none;
    const UserProfileSnapshot profile = c.userProfile.value_or(UserProfileSnapshot{});
    const ChatClientSnapshot wechat = c.wechat.value_or(ChatClientSnapshot{});
    const ChatClientSnapshot wecom = c.wecom.value_or(ChatClientSnapshot{});
    const AIProviderSnapshot ai = c.aiProvider.value_or(AIProviderSnapshot{});

    remoteAccessToken.clear();
    userDisplayName = profile.displayName.value_or(QString());
    userAliases = joinedLines(profile.aliases);
    notifyTodosAndMentions = c.notifyTodosAndMentions.value_or(true);
    wechatEnabled = wechat.enabled.value_or(true);
    wechatSource = wechat.source.value_or(defaultSource());
    wechatDataRoot = wechat.dataRoot.value_or(QString());
    wechatAllowlist = allowlistText(wechat.allowlist);
    wecomEnabled = wecom.enabled.value_or(false);
    wecomSource = wecomSourceRule(wecom.source);
    wecomRuleMode = wecom.ruleMode.value_or(defaultRuleMode());
    wecomDataRoot = wecom.dataRoot.value_or(QString());
    wecomAllowlist = allowlistText(wecom.allowlist);
    keywords = joinedLines(c.notificationKeywords);
    excludeKeywords = joinedLines(c.notificationExcludeKeywords);
    aiEnabled = ai.enabled.value_or(true);
    aiProvider = ai.provider.value_or(defaultAIProvider());
    aiModel = ai.model.value_or(defaultAIModel());
    aiBaseURL = ai.baseUrl.value_or(defaultAIBaseURL());
    aiAPIKey.clear();
    aiAPIKeyEnv = defaultAIKeyEnv();
    isDirty = false;
}

bool NativeSettingsDraft::setText(TextField field, const QString& value)
{
    if (this->*field == value)
        return false;
    this->*field = value;
    isDirty = true;
    return true;
}

bool NativeSettingsDraft::setFlag(FlagField field, bool value)
{
    if (this->*field == value)
        return false;
    this->*field = value;
    isDirty = true;
    return true;
}

QJsonObject NativeSettingsDraft::payload() const
{
    QJsonObject ai{
        {QStringLiteral("enabled"), aiEnabled},
        {QStringLiteral("provider"), aiProvider},
        {QStringLiteral("model"), aiModel},
        {QStringLiteral("base_url"), aiBaseURL},
        {QStringLiteral("api_key_env_name"), aiAPIKeyEnv},
    };
    const QString apiKey = aiAPIKey.trimmed();
    if (!apiKey.isEmpty())
        ai.insert(QStringLiteral("api_key"), apiKey);

    QJsonObject body{
        {QStringLiteral("notification_keywords"), keywords},
        {QStringLiteral("notification_exclude_keywords"), excludeKeywords},
        {QStringLiteral("user_profile"), QJsonObject{{QStringLiteral("display_name"), userDisplayName},
                                                     {QStringLiteral("aliases"), userAliases}}},
        {QStringLiteral("wechat"), QJsonObject{{QStringLiteral("enabled"), wechatEnabled},
                                               {QStringLiteral("source"), wechatSource},
                                               {QStringLiteral("data_root"), wechatDataRoot},
                                               {QStringLiteral("allowlist_names"), wechatAllowlist}}},
        {QStringLiteral("wecom"), QJsonObject{{QStringLiteral("enabled"), wecomEnabled},
                                              {QStringLiteral("source"), wecomSourceRule(wecomSource)},
                                              {QStringLiteral("rule_mode"), wecomRuleMode},
                                              {QStringLiteral("data_root"), wecomDataRoot},
                                              {QStringLiteral("allowlist_names"), wecomAllowlist}}},
        {QStringLiteral("ai"), ai},
        {QStringLiteral("notify_todos_and_mentions"), notifyTodosAndMentions},
    };
    const QString token = remoteAccessToken.trimmed();
    if (!token.isEmpty())
        body.insert(QStringLiteral("remote_access_token"), token);
    return body;
}
