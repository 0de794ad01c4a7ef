#pragma once

#include "model/BridgeStateResponse.h"

#include <QJsonObject>
#include <QString>
#include <optional>

// The editable copy of the core's configuration behind the settings form. A plain value:
// filled from a state snapshot by load(), edited field by field through setText()/setFlag()
// (a write that changes a value marks it dirty; writing the value a field already holds,
// such as pressing the selected segment again, changes nothing) and turned into the
// body of POST /api/config/native/save by payload(). The saved API key and access token
// never travel in the state, so they are always empty after load().
struct NativeSettingsDraft
{
    // Pointers to the editable fields, used by the form's two-way bindings.
    using TextField = QString NativeSettingsDraft::*;
    using FlagField = bool NativeSettingsDraft::*;

    bool isDirty = false;
    QString remoteAccessToken;
    QString userDisplayName;
    QString userAliases;                // one alias per line
    bool notifyTodosAndMentions = true; // the core's desktop notifications
    QString websiteBridgeBaseURL = defaultWebsiteBridgeBaseURL();
    bool wechatEnabled = true;
    QString wechatSource = defaultSource();
    QString wechatDataRoot;
    QString wechatAllowlist; // one name per line
    bool wecomEnabled = false;
    QString wecomSource = defaultSource();
    QString wecomRuleMode = defaultRuleMode();
    QString wecomDataRoot;
    QString wecomAllowlist;  // one name per line
    QString keywords;        // one keyword per line
    QString excludeKeywords; // one word per line
    bool aiEnabled = true;
    QString aiProvider = defaultAIProvider();
    QString aiModel = defaultAIModel();
    QString aiBaseURL = defaultAIBaseURL();
    QString aiAPIKey;
    QString aiAPIKeyEnv = defaultAIKeyEnv();

    // Fills every field from the snapshot's config and clears isDirty; with no snapshot the
    // draft is left exactly as it is. Only absence falls back: a present empty text is kept.
    void load(const std::optional<BridgeStateResponse>& state);

    // Writes one field and marks the draft dirty; false (and nothing marked) when the field
    // already holds the value.
    bool setText(TextField field, const QString& value);
    bool setFlag(FlagField field, bool value);

    // The settings document. Texts go unchanged (multi-line fields as one string with "\n");
    // only "api_key" and "remote_access_token" are trimmed, and left out when that leaves
    // nothing, so an empty field keeps what the core holds. WeCom is never saved with OCR.
    QJsonObject payload() const;

    // Allowlist text: names of the enabled (or unmarked) entries, trimmed, empty ones
    // dropped, one per line.
    static QString allowlistText(const std::optional<QList<AllowlistSnapshot>>& allowlist);
    // WeCom reader: the trimmed value unless that is empty or "ocr", else "notification-db".
    static QString wecomSourceRule(const std::optional<QString>& source);

    static QString defaultSource();               // "notification-db"
    static QString defaultRuleMode();             // "all_incoming"
    static QString defaultAIProvider();           // "deepseek"
    static QString defaultAIModel();              // "deepseek-chat"
    static QString defaultAIBaseURL();            // DeepSeek's chat-completions endpoint
    static QString defaultAIKeyEnv();             // "DEEPSEEK_API_KEY"
    static QString defaultWebsiteBridgeBaseURL(); // the store's website-bridge origin

    bool operator==(const NativeSettingsDraft&) const = default;
};
