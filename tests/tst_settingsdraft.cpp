#include "store/BridgeStore.h"
#include "ui/settings/logic/DraftBinding.h"
#include "ui/settings/logic/NativeSettingsDraft.h"
#include "ui/settings/logic/SettingsDraftModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

namespace {

using TextField = NativeSettingsDraft::TextField;
using FlagField = NativeSettingsDraft::FlagField;

struct NamedText
{
    const char* name;
    TextField field;
};

// Every text field the form edits (websiteBridgeBaseURL is read-only in the form but still a field).
const QList<NamedText>& textFields()
{
    static const QList<NamedText> fields{
        {"remoteAccessToken", &NativeSettingsDraft::remoteAccessToken},
        {"userDisplayName", &NativeSettingsDraft::userDisplayName},
        {"userAliases", &NativeSettingsDraft::userAliases},
        {"websiteBridgeBaseURL", &NativeSettingsDraft::websiteBridgeBaseURL},
        {"wechatSource", &NativeSettingsDraft::wechatSource},
        {"wechatDataRoot", &NativeSettingsDraft::wechatDataRoot},
        {"wechatAllowlist", &NativeSettingsDraft::wechatAllowlist},
        {"wecomSource", &NativeSettingsDraft::wecomSource},
        {"wecomRuleMode", &NativeSettingsDraft::wecomRuleMode},
        {"wecomDataRoot", &NativeSettingsDraft::wecomDataRoot},
        {"wecomAllowlist", &NativeSettingsDraft::wecomAllowlist},
        {"keywords", &NativeSettingsDraft::keywords},
        {"excludeKeywords", &NativeSettingsDraft::excludeKeywords},
        {"aiProvider", &NativeSettingsDraft::aiProvider},
        {"aiModel", &NativeSettingsDraft::aiModel},
        {"aiBaseURL", &NativeSettingsDraft::aiBaseURL},
        {"aiAPIKey", &NativeSettingsDraft::aiAPIKey},
        {"aiAPIKeyEnv", &NativeSettingsDraft::aiAPIKeyEnv},
    };
    return fields;
}

const QList<QPair<const char*, FlagField>>& flagFields()
{
    static const QList<QPair<const char*, FlagField>> fields{
        {"wechatEnabled", &NativeSettingsDraft::wechatEnabled},
        {"wecomEnabled", &NativeSettingsDraft::wecomEnabled},
        {"aiEnabled", &NativeSettingsDraft::aiEnabled},
        {"notifyTodosAndMentions", &NativeSettingsDraft::notifyTodosAndMentions},
    };
    return fields;
}

AllowlistSnapshot entry(std::optional<QString> name, std::optional<bool> enabled = std::nullopt)
{
    return AllowlistSnapshot{std::move(name), QStringLiteral("group"), enabled};
}

// A draft in which every field differs from both the defaults and the fallbacks.
NativeSettingsDraft typedDraft()
{
    NativeSettingsDraft d;
    for (const NamedText& f : textFields())
        d.setText(f.field, QStringLiteral("typed-") + QLatin1String(f.name));
    d.setFlag(&NativeSettingsDraft::wechatEnabled, false);
    d.setFlag(&NativeSettingsDraft::wecomEnabled, true);
    d.setFlag(&NativeSettingsDraft::aiEnabled, false);
    d.setFlag(&NativeSettingsDraft::notifyTodosAndMentions, false);
    return d;
}

// The draft expected after loading a snapshot without any configuration, starting from `before`.
NativeSettingsDraft fallbacks(const NativeSettingsDraft& before)
{
    NativeSettingsDraft d;
    d.websiteBridgeBaseURL = before.websiteBridgeBaseURL; // not part of the configuration
    return d;
}

BridgeStateResponse fullState()
{
    ConfigSnapshot c;
    c.notificationKeywords = QStringList{QStringLiteral("合同"), QStringLiteral("报价")};
    c.notificationExcludeKeywords = QStringList{QStringLiteral("广告")};
    c.userProfile = UserProfileSnapshot{QStringLiteral("王小明"),
                                        QStringList{QStringLiteral("小明"), QStringLiteral("Ming")}};
    ChatClientSnapshot wechat;
    wechat.enabled = false;
    wechat.source = QStringLiteral("ocr");
    wechat.dataRoot = QStringLiteral("/data/wechat");
    wechat.allowlist =
        QList<AllowlistSnapshot>{entry(QStringLiteral("项目群")), entry(QStringLiteral("张三"), true)};
    c.wechat = wechat;
    ChatClientSnapshot wecom;
    wecom.enabled = true;
    wecom.source = QStringLiteral("accessibility");
    wecom.ruleMode = QStringLiteral("allowlist");
    wecom.dataRoot = QStringLiteral("/data/wecom");
    wecom.allowlist = QList<AllowlistSnapshot>{entry(QStringLiteral("客户群"))};
    c.wecom = wecom;
    AIProviderSnapshot ai;
    ai.provider = QStringLiteral("qwen");
    ai.enabled = false;
    ai.model = QStringLiteral("qwen-max");
    ai.baseUrl = QStringLiteral("https://qwen.local/v1/chat/completions");
    ai.hasApiKey = true;
    c.aiProvider = ai;
    c.remoteAccessProtected = true;
    c.notifyTodosAndMentions = false;
    BridgeStateResponse s;
    s.config = c;
    return s;
}

} // namespace

class TestSettingsDraft : public QObject
{
    Q_OBJECT

private slots:
    void newDraftHasTheDefaults();
    void loadWithoutConfigurationTakesEveryFallback_data();
    void loadWithoutConfigurationTakesEveryFallback();
    void loadTakesTheConfiguration();
    void loadKeepsPresentEmptyTexts_data();
    void loadKeepsPresentEmptyTexts();
    void loadWithoutStateLeavesTheDraftUntouched();
    void allowlistText_data();
    void allowlistText();
    void wecomSourceRule_data();
    void wecomSourceRule();
    void changedTextMarksDirty_data();
    void changedTextMarksDirty();
    void changedFlagMarksDirty_data();
    void changedFlagMarksDirty();
    void bindingsReadAndWriteTheModel();
    void dirtyDraftIsNotReloaded();
    void payloadHasExactKeysAndTypes();
    void payloadSecrets_data();
    void payloadSecrets();
    void payloadSendsMultiLineTextsAsOneString();
    void payloadSources_data();
    void payloadSources();
    void payloadAfterLoadCarriesNoSecrets();
};

void TestSettingsDraft::newDraftHasTheDefaults()
{
    const NativeSettingsDraft d;
    QCOMPARE(d.isDirty, false);
    QCOMPARE(d.wechatEnabled, true);
    QCOMPARE(d.wecomEnabled, false);
    QCOMPARE(d.aiEnabled, true);
    QCOMPARE(d.notifyTodosAndMentions, true);
    QCOMPARE(d.wechatSource, QStringLiteral("notification-db"));
    QCOMPARE(d.wecomSource, QStringLiteral("notification-db"));
    QCOMPARE(d.wecomRuleMode, QStringLiteral("all_incoming"));
    QCOMPARE(d.aiProvider, QStringLiteral("deepseek"));
    QCOMPARE(d.aiModel, QStringLiteral("deepseek-chat"));
    QCOMPARE(d.aiBaseURL, QStringLiteral("https://api.deepseek.com/chat/completions"));
    QCOMPARE(d.aiAPIKeyEnv, QStringLiteral("DEEPSEEK_API_KEY"));
    // The build's website-bridge origin: none unless the build or the environment names one.
    QCOMPARE(d.websiteBridgeBaseURL, BridgeStore::websiteBridgeOrigin());
    QVERIFY(d.remoteAccessToken.isEmpty() && d.aiAPIKey.isEmpty() && d.userDisplayName.isEmpty());
}

void TestSettingsDraft::loadWithoutConfigurationTakesEveryFallback_data()
{
    QTest::addColumn<BridgeStateResponse>("state");
    QTest::newRow("config absent") << BridgeStateResponse{};
    BridgeStateResponse emptyConfig;
    emptyConfig.config = ConfigSnapshot{};
    QTest::newRow("config empty") << emptyConfig;
    BridgeStateResponse emptyParts;
    emptyParts.config = ConfigSnapshot{};
    emptyParts.config->wechat = ChatClientSnapshot{};
    emptyParts.config->wecom = ChatClientSnapshot{};
    emptyParts.config->aiProvider = AIProviderSnapshot{};
    emptyParts.config->userProfile = UserProfileSnapshot{};
    QTest::newRow("sub-records empty") << emptyParts;
}

void TestSettingsDraft::loadWithoutConfigurationTakesEveryFallback()
{
    QFETCH(BridgeStateResponse, state);
    NativeSettingsDraft d = typedDraft();
    const NativeSettingsDraft before = d;
    d.load(state);
    QCOMPARE(d, fallbacks(before));
    QVERIFY(d.remoteAccessToken.isEmpty());
    QVERIFY(d.aiAPIKey.isEmpty());
    QCOMPARE(d.aiAPIKeyEnv, QStringLiteral("DEEPSEEK_API_KEY"));
    QCOMPARE(d.isDirty, false);
}

void TestSettingsDraft::loadTakesTheConfiguration()
{
    NativeSettingsDraft d = typedDraft();
    d.load(fullState());
    QCOMPARE(d.isDirty, false);
    QCOMPARE(d.remoteAccessToken, QString());
    QCOMPARE(d.userDisplayName, QStringLiteral("王小明"));
    QCOMPARE(d.userAliases, QStringLiteral("小明\nMing"));
    QCOMPARE(d.wechatEnabled, false);
    QCOMPARE(d.wechatSource, QStringLiteral("ocr")); // WeChat may read by OCR
    QCOMPARE(d.wechatDataRoot, QStringLiteral("/data/wechat"));
    QCOMPARE(d.wechatAllowlist, QStringLiteral("项目群\n张三"));
    QCOMPARE(d.wecomEnabled, true);
    QCOMPARE(d.wecomSource, QStringLiteral("accessibility"));
    QCOMPARE(d.wecomRuleMode, QStringLiteral("allowlist"));
    QCOMPARE(d.wecomDataRoot, QStringLiteral("/data/wecom"));
    QCOMPARE(d.wecomAllowlist, QStringLiteral("客户群"));
    QCOMPARE(d.keywords, QStringLiteral("合同\n报价"));
    QCOMPARE(d.excludeKeywords, QStringLiteral("广告"));
    QCOMPARE(d.aiEnabled, false);
    QCOMPARE(d.notifyTodosAndMentions, false);
    QCOMPARE(d.aiProvider, QStringLiteral("qwen"));
    QCOMPARE(d.aiModel, QStringLiteral("qwen-max"));
    QCOMPARE(d.aiBaseURL, QStringLiteral("https://qwen.local/v1/chat/completions"));
    QCOMPARE(d.aiAPIKey, QString());
    QCOMPARE(d.aiAPIKeyEnv, QStringLiteral("DEEPSEEK_API_KEY"));
    QCOMPARE(d.websiteBridgeBaseURL, QStringLiteral("typed-websiteBridgeBaseURL"));
}

void TestSettingsDraft::loadKeepsPresentEmptyTexts_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<BridgeStateResponse>("state");
    QTest::addColumn<QString>("expected");

    auto withConfig = [](auto edit) {
        BridgeStateResponse s;
        s.config = ConfigSnapshot{};
        s.config->wechat = ChatClientSnapshot{};
        s.config->wecom = ChatClientSnapshot{};
        s.config->aiProvider = AIProviderSnapshot{};
        s.config->userProfile = UserProfileSnapshot{};
        edit(*s.config);
        return s;
    };
    QTest::newRow("wechat source") << "wechatSource"
                                   << withConfig([](ConfigSnapshot& c) { c.wechat->source = QString(""); })
                                   << "";
    QTest::newRow("rule mode") << "wecomRuleMode"
                               << withConfig([](ConfigSnapshot& c) { c.wecom->ruleMode = QString(""); })
                               << "";
    QTest::newRow("provider") << "aiProvider"
                              << withConfig([](ConfigSnapshot& c) { c.aiProvider->provider = QString(""); })
                              << "";
    QTest::newRow("model") << "aiModel"
                           << withConfig([](ConfigSnapshot& c) { c.aiProvider->model = QString(""); }) << "";
    QTest::newRow("base url") << "aiBaseURL"
                              << withConfig([](ConfigSnapshot& c) { c.aiProvider->baseUrl = QString(""); })
                              << "";
    QTest::newRow("aliases empty list")
        << "userAliases" << withConfig([](ConfigSnapshot& c) { c.userProfile->aliases = QStringList{}; })
        << "";
    QTest::newRow("one empty keyword") << "keywords" << withConfig([](ConfigSnapshot& c) {
        c.notificationKeywords = QStringList{QString(), QStringLiteral("a")};
    }) << "\na";
    // The WeCom reader is the one exception: an empty source falls back.
    QTest::newRow("wecom source") << "wecomSource"
                                  << withConfig([](ConfigSnapshot& c) { c.wecom->source = QString(""); })
                                  << "notification-db";
}

void TestSettingsDraft::loadKeepsPresentEmptyTexts()
{
    QFETCH(QString, field);
    QFETCH(BridgeStateResponse, state);
    QFETCH(QString, expected);
    NativeSettingsDraft d;
    d.load(state);
    for (const NamedText& f : textFields()) {
        if (field == QLatin1String(f.name)) {
            QCOMPARE(d.*f.field, expected);
            return;
        }
    }
    QFAIL("unknown field");
}

void TestSettingsDraft::loadWithoutStateLeavesTheDraftUntouched()
{
    NativeSettingsDraft d = typedDraft();
    const NativeSettingsDraft before = d;
    d.load(std::nullopt);
    QCOMPARE(d, before);
    QVERIFY(d.isDirty);

    SettingsDraftModel model;
    model.setText(&NativeSettingsDraft::keywords, QStringLiteral("x"));
    const NativeSettingsDraft typed = model.draft();
    QSignalSpy changed(&model, &SettingsDraftModel::changed);
    model.load(std::nullopt);
    QCOMPARE(model.draft(), typed);
    QCOMPARE(changed.count(), 0);
}

void TestSettingsDraft::allowlistText_data()
{
    using List = std::optional<QList<AllowlistSnapshot>>;
    QTest::addColumn<List>("allowlist");
    QTest::addColumn<QString>("expected");
    QTest::newRow("absent") << List() << "";
    QTest::newRow("empty") << List(QList<AllowlistSnapshot>{}) << "";
    QTest::newRow("padded, empty and disabled")
        << List({entry(QStringLiteral("  张三  ")), entry(QString("")), entry(QStringLiteral("李四"), false)})
        << "张三";
    QTest::newRow("order kept, enabled absent or true")
        << List({entry(QStringLiteral("B群"), true), entry(QStringLiteral("A群")),
                 entry(QStringLiteral("C群"), true)})
        << "B群\nA群\nC群";
    QTest::newRow("name absent, blank or line breaks only")
        << List({entry(std::nullopt), entry(QStringLiteral(" \n\t ")), entry(QStringLiteral("\n王五\r\n"))})
        << "王五";
    QTest::newRow("full-width space trimmed") << List({entry(QStringLiteral("\u3000赵六\u3000"))}) << "赵六";
    QTest::newRow("all disabled") << List({entry(QStringLiteral("a"), false),
                                           entry(QStringLiteral("b"), false)})
                                  << "";
}

void TestSettingsDraft::allowlistText()
{
    QFETCH(std::optional<QList<AllowlistSnapshot>>, allowlist);
    QFETCH(QString, expected);
    QCOMPARE(NativeSettingsDraft::allowlistText(allowlist), expected);
    // The same rule fills both readers.
    BridgeStateResponse s;
    s.config = ConfigSnapshot{};
    s.config->wechat = ChatClientSnapshot{};
    s.config->wechat->allowlist = allowlist;
    s.config->wecom = s.config->wechat;
    NativeSettingsDraft d;
    d.load(s);
    QCOMPARE(d.wechatAllowlist, expected);
    QCOMPARE(d.wecomAllowlist, expected);
}

void TestSettingsDraft::wecomSourceRule_data()
{
    QTest::addColumn<std::optional<QString>>("source");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ocr") << std::optional<QString>(QStringLiteral("ocr")) << "notification-db";
    QTest::newRow("ocr padded") << std::optional<QString>(QStringLiteral(" ocr\n")) << "notification-db";
    QTest::newRow("spaces only") << std::optional<QString>(QStringLiteral("   ")) << "notification-db";
    QTest::newRow("empty") << std::optional<QString>(QString("")) << "notification-db";
    QTest::newRow("absent") << std::optional<QString>() << "notification-db";
    QTest::newRow("accessibility") << std::optional<QString>(QStringLiteral("accessibility"))
                                   << "accessibility";
    QTest::newRow("padded accessibility")
        << std::optional<QString>(QStringLiteral(" accessibility ")) << "accessibility";
    QTest::newRow("mock") << std::optional<QString>(QStringLiteral("mock")) << "mock";
    QTest::newRow("OCR other case") << std::optional<QString>(QStringLiteral("OCR")) << "OCR";
}

void TestSettingsDraft::wecomSourceRule()
{
    QFETCH(std::optional<QString>, source);
    QFETCH(QString, expected);
    QCOMPARE(NativeSettingsDraft::wecomSourceRule(source), expected);

    BridgeStateResponse s;
    s.config = ConfigSnapshot{};
    s.config->wecom = ChatClientSnapshot{};
    s.config->wecom->source = source;
    NativeSettingsDraft d;
    d.load(s);
    QCOMPARE(d.wecomSource, expected);
}

void TestSettingsDraft::changedTextMarksDirty_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < textFields().size(); ++i)
        QTest::newRow(textFields().at(i).name) << i;
}

void TestSettingsDraft::changedTextMarksDirty()
{
    QFETCH(int, index);
    const TextField field = textFields().at(index).field;
    NativeSettingsDraft d;
    d.load(BridgeStateResponse{});
    QVERIFY(!d.isDirty);
    NativeSettingsDraft expected = d;
    QVERIFY(!d.setText(field, d.*field)); // the value it holds: no edit
    QCOMPARE(d, expected);

    QVERIFY(d.setText(field, QStringLiteral("新值")));
    QVERIFY(d.isDirty);
    expected.isDirty = true;
    expected.*field = QStringLiteral("新值");
    QCOMPARE(d, expected); // nothing else moved
}

void TestSettingsDraft::changedFlagMarksDirty_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < flagFields().size(); ++i)
        QTest::newRow(flagFields().at(i).first) << i;
}

void TestSettingsDraft::changedFlagMarksDirty()
{
    QFETCH(int, index);
    const FlagField field = flagFields().at(index).second;
    SettingsDraftModel model;
    model.load(BridgeStateResponse{});
    QVERIFY(!model.draft().isDirty);
    const FlagBinding binding = bindFlag(&model, field);
    QSignalSpy changed(&model, &SettingsDraftModel::changed);
    binding.set(binding.get()); // the value it holds: no edit
    QVERIFY(!model.draft().isDirty);
    QCOMPARE(changed.count(), 0);
    const bool flipped = !binding.get();
    binding.set(flipped);
    QVERIFY(model.draft().isDirty);
    QCOMPARE(model.draft().*field, flipped);
    QCOMPARE(changed.count(), 1);
}

void TestSettingsDraft::bindingsReadAndWriteTheModel()
{
    SettingsDraftModel model;
    QSignalSpy changed(&model, &SettingsDraftModel::changed);
    const TextBinding keywords = bindText(&model, &NativeSettingsDraft::keywords);
    QCOMPARE(keywords.get(), QString());
    keywords.set(QStringLiteral("合同"));
    QCOMPARE(model.draft().keywords, QStringLiteral("合同"));
    QCOMPARE(keywords.get(), QStringLiteral("合同"));
    QCOMPARE(changed.count(), 1);

    // A binding to a model that is gone reads the empty value and writes nothing.
    TextBinding dangling;
    {
        SettingsDraftModel gone;
        dangling = bindText(&gone, &NativeSettingsDraft::keywords);
        QVERIFY(dangling.isValid());
    }
    QVERIFY(!dangling.isValid());
    dangling.set(QStringLiteral("x"));
    QCOMPARE(dangling.get(), QString());
}

void TestSettingsDraft::dirtyDraftIsNotReloaded()
{
    SettingsDraftModel model;
    model.loadIfClean(fullState());
    QCOMPARE(model.draft().userDisplayName, QStringLiteral("王小明"));
    QVERIFY(!model.draft().isDirty);

    bindText(&model, &NativeSettingsDraft::userDisplayName).set(QStringLiteral("王小明x"));
    const NativeSettingsDraft typed = model.draft();
    BridgeStateResponse later = fullState();
    later.config->userProfile->displayName = QStringLiteral("别人");
    later.config->wecom->enabled = false;
    model.loadIfClean(later);
    QCOMPARE(model.draft(), typed);

    // Showing the view again loads whatever the draft holds.
    model.load(later);
    QCOMPARE(model.draft().userDisplayName, QStringLiteral("别人"));
    QCOMPARE(model.draft().wecomEnabled, false);
    QVERIFY(!model.draft().isDirty);
}

void TestSettingsDraft::payloadHasExactKeysAndTypes()
{
    NativeSettingsDraft d;
    d.userDisplayName = QStringLiteral("王小明");
    d.userAliases = QStringLiteral("小明\nMing");
    d.wechatEnabled = false;
    d.wechatSource = QStringLiteral(" mock ");
    d.wechatDataRoot = QStringLiteral(" /data/wechat ");
    d.wechatAllowlist = QStringLiteral("项目群\n张三");
    d.wecomEnabled = true;
    d.wecomSource = QStringLiteral("accessibility");
    d.wecomRuleMode = QStringLiteral("allowlist");
    d.wecomDataRoot = QStringLiteral("/data/wecom");
    d.wecomAllowlist = QStringLiteral("客户群");
    d.keywords = QStringLiteral("合同");
    d.excludeKeywords = QStringLiteral("广告 ");
    d.aiEnabled = false;
    d.aiProvider = QStringLiteral("ollama");
    d.aiModel = QString();
    d.aiBaseURL = QStringLiteral("http://127.0.0.1:11434/v1/chat/completions");
    d.aiAPIKeyEnv = QStringLiteral("  MY_KEY  ");
    d.aiAPIKey = QStringLiteral("sk-1");
    d.remoteAccessToken = QStringLiteral("tok");
    d.notifyTodosAndMentions = false;
    d.websiteBridgeBaseURL = QStringLiteral("https://never.sent");
    d.isDirty = true;

    const QJsonObject expected = QJsonDocument::fromJson(R"({
        "notification_keywords": "合同",
        "notification_exclude_keywords": "广告 ",
        "user_profile": {"display_name": "王小明", "aliases": "小明\nMing"},
        "wechat": {"enabled": false, "source": " mock ", "data_root": " /data/wechat ",
                   "allowlist_names": "项目群\n张三"},
        "wecom": {"enabled": true, "source": "accessibility", "rule_mode": "allowlist",
                  "data_root": "/data/wecom", "allowlist_names": "客户群"},
        "ai": {"enabled": false, "provider": "ollama", "model": "",
               "base_url": "http://127.0.0.1:11434/v1/chat/completions",
               "api_key_env_name": "  MY_KEY  ", "api_key": "sk-1"},
        "remote_access_token": "tok",
        "notify_todos_and_mentions": false
    })")
                                     .object();
    QVERIFY(!expected.isEmpty());
    QCOMPARE(d.payload(), expected);
}

void TestSettingsDraft::payloadSecrets_data()
{
    QTest::addColumn<QString>("apiKey");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QJsonValue>("sentKey");
    QTest::addColumn<QJsonValue>("sentToken");
    const QJsonValue absent(QJsonValue::Undefined);
    QTest::newRow("both empty") << ""
                                << "" << absent << absent;
    QTest::newRow("blanks and line breaks only") << " \n\t"
                                                 << "\u3000 \r\n"
                                                 << absent << absent;
    QTest::newRow("spaced key, empty token") << "  sk-abc  "
                                             << "" << QJsonValue("sk-abc") << absent;
    QTest::newRow("empty key, spaced token") << ""
                                             << "\n tok-1 \t" << absent << QJsonValue("tok-1");
    QTest::newRow("inner spaces kept") << " a b "
                                       << " c d " << QJsonValue("a b") << QJsonValue("c d");
}

void TestSettingsDraft::payloadSecrets()
{
    QFETCH(QString, apiKey);
    QFETCH(QString, token);
    QFETCH(QJsonValue, sentKey);
    QFETCH(QJsonValue, sentToken);
    NativeSettingsDraft d;
    d.setText(&NativeSettingsDraft::aiAPIKey, apiKey);
    d.setText(&NativeSettingsDraft::remoteAccessToken, token);
    const QJsonObject body = d.payload();
    const QJsonObject ai = body.value(QStringLiteral("ai")).toObject();
    QCOMPARE(ai.contains(QStringLiteral("api_key")), !sentKey.isUndefined());
    QCOMPARE(ai.value(QStringLiteral("api_key")), sentKey);
    QCOMPARE(body.contains(QStringLiteral("remote_access_token")), !sentToken.isUndefined());
    QCOMPARE(body.value(QStringLiteral("remote_access_token")), sentToken);
    QCOMPARE(ai.size(), sentKey.isUndefined() ? 5 : 6);
    QCOMPARE(body.size(), sentToken.isUndefined() ? 7 : 8);
}

void TestSettingsDraft::payloadSendsMultiLineTextsAsOneString()
{
    NativeSettingsDraft d;
    d.setText(&NativeSettingsDraft::keywords, QStringLiteral("合同\n\n报价"));
    d.setText(&NativeSettingsDraft::excludeKeywords, QStringLiteral("\n广告\n"));
    d.setText(&NativeSettingsDraft::wecomAllowlist, QStringLiteral(" 客户群 \n\n"));
    const QJsonObject body = d.payload();
    const QJsonValue keywords = body.value(QStringLiteral("notification_keywords"));
    QVERIFY(keywords.isString());
    QCOMPARE(keywords.toString(), QStringLiteral("合同\n\n报价"));
    QCOMPARE(keywords.toString().count(QLatin1Char('\n')), 2);
    QCOMPARE(body.value(QStringLiteral("notification_exclude_keywords")).toString(),
             QStringLiteral("\n广告\n"));
    QCOMPARE(
        body.value(QStringLiteral("wecom")).toObject().value(QStringLiteral("allowlist_names")).toString(),
        QStringLiteral(" 客户群 \n\n"));
}

void TestSettingsDraft::payloadSources_data()
{
    QTest::addColumn<QString>("wechatSource");
    QTest::addColumn<QString>("wecomSource");
    QTest::addColumn<QString>("sentWeChat");
    QTest::addColumn<QString>("sentWeCom");
    QTest::newRow("ocr") << "ocr"
                         << "ocr"
                         << "ocr"
                         << "notification-db";
    QTest::newRow("blank") << ""
                           << "   "
                           << ""
                           << "notification-db";
    QTest::newRow("accessibility") << "accessibility"
                                   << "accessibility"
                                   << "accessibility"
                                   << "accessibility";
    QTest::newRow("padded wecom source trimmed") << " mock "
                                                 << " mock "
                                                 << " mock "
                                                 << "mock";
}

void TestSettingsDraft::payloadSources()
{
    QFETCH(QString, wechatSource);
    QFETCH(QString, wecomSource);
    QFETCH(QString, sentWeChat);
    QFETCH(QString, sentWeCom);
    NativeSettingsDraft d;
    d.wechatSource = wechatSource;
    d.wecomSource = wecomSource;
    const QJsonObject body = d.payload();
    QCOMPARE(body.value(QStringLiteral("wechat")).toObject().value(QStringLiteral("source")).toString(),
             sentWeChat);
    QCOMPARE(body.value(QStringLiteral("wecom")).toObject().value(QStringLiteral("source")).toString(),
             sentWeCom);
    QCOMPARE(d.wecomSource, wecomSource); // the draft itself is not rewritten
}

void TestSettingsDraft::payloadAfterLoadCarriesNoSecrets()
{
    NativeSettingsDraft d = typedDraft();
    d.load(fullState());
    const QJsonObject body = d.payload();
    QVERIFY(!body.contains(QStringLiteral("remote_access_token")));
    const QJsonObject ai = body.value(QStringLiteral("ai")).toObject();
    QVERIFY(!ai.contains(QStringLiteral("api_key")));
    QCOMPARE(ai.value(QStringLiteral("api_key_env_name")).toString(), QStringLiteral("DEEPSEEK_API_KEY"));
    QVERIFY(!QJsonDocument(body).toJson().contains("typed-"));
    QVERIFY(!body.contains(QStringLiteral("website_bridge_base_url")));
    QCOMPARE(
        body.value(QStringLiteral("wechat")).toObject().value(QStringLiteral("allowlist_names")).toString(),
        QStringLiteral("项目群\n张三"));
}

QTEST_GUILESS_MAIN(TestSettingsDraft)
#include "tst_settingsdraft.moc"
