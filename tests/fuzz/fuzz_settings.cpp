// The settings draft: edited arbitrarily, loaded from an arbitrary state snapshot, edited
// again, then turned into the save document and serialised as the client sends it. The load
// is compared with the field table of the settings form; the document must hold exactly the
// keys of the save body and come back unchanged from its JSON text.

#include "FuzzInput.h"
#include "model/JsonCursor.h"
#include "ui/settings/logic/NativeSettingsDraft.h"

#include <QJsonDocument>
#include <QSet>

namespace {

using namespace Qt::StringLiterals;
using Draft = NativeSettingsDraft;

constexpr std::array<Draft::TextField, 18> kTextFields{
    &Draft::remoteAccessToken, &Draft::userDisplayName, &Draft::userAliases,     &Draft::websiteBridgeBaseURL,
    &Draft::wechatSource,      &Draft::wechatDataRoot,  &Draft::wechatAllowlist, &Draft::wecomSource,
    &Draft::wecomRuleMode,     &Draft::wecomDataRoot,   &Draft::wecomAllowlist,  &Draft::keywords,
    &Draft::excludeKeywords,   &Draft::aiProvider,      &Draft::aiModel,         &Draft::aiBaseURL,
    &Draft::aiAPIKey,          &Draft::aiAPIKeyEnv};
constexpr std::array<Draft::FlagField, 4> kFlagFields{&Draft::wechatEnabled, &Draft::wecomEnabled,
                                                      &Draft::aiEnabled, &Draft::notifyTodosAndMentions};

void edit(FuzzInput& in, Draft& draft)
{
    // A write that changes a field marks the draft dirty; writing the value it holds does nothing.
    const int edits = in.upTo(4);
    for (int i = 0; i < edits; ++i) {
        const Draft before = draft;
        bool changed = false;
        if (in.flag()) {
            const Draft::TextField field = kTextFields[in.byte() % kTextFields.size()];
            const QString value = in.text();
            changed = draft.setText(field, value);
            FUZZ_CHECK(changed == (before.*field != value) && draft.*field == value);
        } else {
            const Draft::FlagField field = kFlagFields[in.byte() % kFlagFields.size()];
            const bool value = in.flag();
            changed = draft.setFlag(field, value);
            FUZZ_CHECK(changed == (before.*field != value) && draft.*field == value);
        }
        FUZZ_CHECK(changed ? draft.isDirty : draft == before);
    }
}

std::optional<ChatClientSnapshot> readClient(FuzzInput& in)
{
    static constexpr std::array<const char16_t*, 6> sources{u"ocr",           u" ocr\n", u"notification-db",
                                                            u"accessibility", u"",       u" "};
    if (in.byte() % 4 == 0)
        return std::nullopt;
    ChatClientSnapshot c;
    c.enabled = in.maybeFlag();
    if (in.byte() % 4 != 0)
        c.source = in.oneOf(sources);
    c.appName = in.maybeText();
    c.dataRoot = in.maybeText();
    c.ruleMode = in.maybeText();
    if (in.byte() % 4 != 0) {
        c.allowlist.emplace();
        const int n = in.upTo(6);
        for (int i = 0; i < n; ++i)
            c.allowlist->append(AllowlistSnapshot{in.maybeText(), in.maybeText(), in.maybeFlag()});
    }
    return c;
}

std::optional<BridgeStateResponse> readState(FuzzInput& in)
{
    if (in.byte() % 8 == 0)
        return std::nullopt;
    BridgeStateResponse state;
    if (in.byte() % 8 == 0)
        return state;
    ConfigSnapshot& c = state.config.emplace();
    c.watchSource = in.maybeText();
    c.chatTarget = in.maybeText();
    c.notificationKeywords = in.maybeList();
    c.notificationExcludeKeywords = in.maybeList();
    c.wechat = readClient(in);
    c.wecom = readClient(in);
    if (in.byte() % 4 != 0)
        c.aiProvider = AIProviderSnapshot{in.maybeText(), in.maybeFlag(), in.maybeText(), in.maybeText(),
                                          in.maybeFlag()};
    if (in.byte() % 4 != 0)
        c.userProfile = UserProfileSnapshot{in.maybeText(), in.maybeList()};
    c.remoteAccessProtected = in.maybeFlag();
    c.notifyTodosAndMentions = in.maybeFlag();
    return state;
}

QString allowlistText(const std::optional<ChatClientSnapshot>& client)
{
    QStringList names;
    for (const AllowlistSnapshot& entry :
         client && client->allowlist ? *client->allowlist : QList<AllowlistSnapshot>()) {
        if (entry.enabled.value_or(true) && entry.name && !entry.name->trimmed().isEmpty())
            names << entry.name->trimmed();
    }
    return names.join(u'\n');
}

QString wecomSource(const std::optional<QString>& source)
{
    const QString trimmed = source.value_or(QString()).trimmed();
    return trimmed.isEmpty() || trimmed == u"ocr"_s ? u"notification-db"_s : trimmed;
}

// The draft after load, field by field from the form's table.
Draft loaded(const Draft& before, const BridgeStateResponse& state)
{
    const ConfigSnapshot c = state.config.value_or(ConfigSnapshot{});
    const auto join = [](const std::optional<QStringList>& lines) {
        return lines.value_or(QStringList()).join(u'\n');
    };
    Draft d = before;
    d.remoteAccessToken = QString();
    d.userDisplayName = c.userProfile ? c.userProfile->displayName.value_or(QString()) : QString();
    d.userAliases = join(c.userProfile ? c.userProfile->aliases : std::nullopt);
    d.wechatEnabled = c.wechat ? c.wechat->enabled.value_or(true) : true;
    d.wechatSource = c.wechat && c.wechat->source ? *c.wechat->source : u"notification-db"_s;
    d.wechatDataRoot = c.wechat ? c.wechat->dataRoot.value_or(QString()) : QString();
    d.wechatAllowlist = allowlistText(c.wechat);
    d.wecomEnabled = c.wecom ? c.wecom->enabled.value_or(false) : false;
    d.wecomSource = wecomSource(c.wecom ? c.wecom->source : std::nullopt);
    d.wecomRuleMode = c.wecom && c.wecom->ruleMode ? *c.wecom->ruleMode : u"all_incoming"_s;
    d.wecomDataRoot = c.wecom ? c.wecom->dataRoot.value_or(QString()) : QString();
    d.wecomAllowlist = allowlistText(c.wecom);
    d.keywords = join(c.notificationKeywords);
    d.excludeKeywords = join(c.notificationExcludeKeywords);
    const AIProviderSnapshot ai = c.aiProvider.value_or(AIProviderSnapshot{});
    d.aiEnabled = ai.enabled.value_or(true);
    d.aiProvider = ai.provider.value_or(u"deepseek"_s);
    d.aiModel = ai.model.value_or(u"deepseek-chat"_s);
    d.aiBaseURL = ai.baseUrl.value_or(Draft::defaultAIBaseURL());
    d.aiAPIKey = QString();
    d.aiAPIKeyEnv = u"DEEPSEEK_API_KEY"_s;
    d.notifyTodosAndMentions = c.notifyTodosAndMentions.value_or(true);
    d.isDirty = false;
    return d;
}

void checkPayload(const Draft& d)
{
    const QJsonObject body = d.payload();
    QSet<QString> keys{u"notification_keywords"_s,
                       u"notification_exclude_keywords"_s,
                       u"user_profile"_s,
                       u"wechat"_s,
                       u"wecom"_s,
                       u"ai"_s,
                       u"notify_todos_and_mentions"_s};
    if (!d.remoteAccessToken.trimmed().isEmpty())
        keys << u"remote_access_token"_s;
    const QStringList names = body.keys();
    FUZZ_CHECK(QSet<QString>(names.cbegin(), names.cend()) == keys);
    FUZZ_CHECK(body.value(u"remote_access_token"_s).toString() == d.remoteAccessToken.trimmed());
    FUZZ_CHECK(body.value(u"notification_keywords"_s).toString() == d.keywords);
    FUZZ_CHECK(body.value(u"user_profile"_s).toObject().value(u"aliases"_s).toString() == d.userAliases);
    const QJsonObject wecom = body.value(u"wecom"_s).toObject();
    FUZZ_CHECK(wecom.value(u"source"_s).toString() == wecomSource(d.wecomSource));
    FUZZ_CHECK(wecom.value(u"enabled"_s).toBool(!d.wecomEnabled) == d.wecomEnabled);
    FUZZ_CHECK(body.value(u"wechat"_s).toObject().value(u"allowlist_names"_s).toString() ==
               d.wechatAllowlist);
    FUZZ_CHECK(body.value(u"notify_todos_and_mentions"_s).toBool(!d.notifyTodosAndMentions) ==
               d.notifyTodosAndMentions);
    const QJsonObject ai = body.value(u"ai"_s).toObject();
    FUZZ_CHECK(ai.contains(u"api_key"_s) == !d.aiAPIKey.trimmed().isEmpty());
    FUZZ_CHECK(ai.value(u"api_key"_s).toString() == d.aiAPIKey.trimmed());
    FUZZ_CHECK(!ai.contains(u"website_bridge_base_url"_s) && !body.contains(u"is_dirty"_s));

    // As the client puts it on the wire: well-formed for our own reader, and the same document
    // when read back.
    const QByteArray json = QJsonDocument(body).toJson(QJsonDocument::Compact);
    JsonCursor cursor(json);
    FUZZ_CHECK(cursor.skipValue() && cursor.finish());
    FUZZ_CHECK(QJsonDocument::fromJson(json).object() == body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    Draft draft;
    edit(in, draft);
    const std::optional<BridgeStateResponse> state = readState(in);

    const Draft before = draft;
    draft.load(std::nullopt);
    FUZZ_CHECK(draft == before);
    draft.load(state);
    FUZZ_CHECK(draft == (state ? loaded(before, *state) : before));
    checkPayload(draft);

    edit(in, draft);
    checkPayload(draft);
    return 0;
}
