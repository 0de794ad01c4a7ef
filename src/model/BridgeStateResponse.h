#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The state snapshot of the local core (GET /api/state) and its nested records.
// Every field is optional unless noted; a missing key and JSON null both leave it
// absent, and an absent list is kept apart from an empty one.

// One followed chat. Equal when all three fields are equal; hashing covers all three.
struct AllowlistSnapshot
{
    std::optional<QString> name;
    std::optional<QString> kind;
    std::optional<bool> enabled;

    bool operator==(const AllowlistSnapshot&) const = default;
};

size_t qHash(const AllowlistSnapshot& entry, size_t seed = 0) noexcept;

// Reader settings of one chat client (the same record for WeChat and WeCom).
struct ChatClientSnapshot
{
    std::optional<bool> enabled;
    std::optional<QString> source;
    std::optional<QString> appName;
    std::optional<QString> dataRoot;
    std::optional<QString> ruleMode;
    std::optional<QList<AllowlistSnapshot>> allowlist;

    bool operator==(const ChatClientSnapshot&) const = default;
};

struct AIProviderSnapshot
{
    std::optional<QString> provider;
    std::optional<bool> enabled;
    std::optional<QString> model;
    std::optional<QString> baseUrl;
    std::optional<bool> hasApiKey;

    bool operator==(const AIProviderSnapshot&) const = default;
};

struct UserProfileSnapshot
{
    std::optional<QString> displayName;
    std::optional<QStringList> aliases;

    bool operator==(const UserProfileSnapshot&) const = default;
};

struct ConfigSnapshot
{
    std::optional<QString> watchSource;
    std::optional<QString> chatTarget;
    std::optional<QStringList> notificationKeywords;
    std::optional<QStringList> notificationExcludeKeywords;
    std::optional<ChatClientSnapshot> wechat;
    std::optional<ChatClientSnapshot> wecom;
    std::optional<AIProviderSnapshot> aiProvider;
    std::optional<UserProfileSnapshot> userProfile;
    std::optional<bool> remoteAccessProtected;
    std::optional<bool> notifyTodosAndMentions; // desktop notifications; absent (an older core): on

    bool operator==(const ConfigSnapshot&) const = default;
};

// A name with a count. On the wire it is an array ["群A", 12], not an object.
struct NamedCount
{
    QString name;
    qint64 count = 0;

    // name + "-" + decimal count
    QString identity() const;

    bool operator==(const NamedCount&) const = default;
};

struct HighlightSnapshot
{
    std::optional<QString> chatTarget;
    std::optional<QString> chatTargetLabel;
    std::optional<QString> sessionName;
    std::optional<QString> senderName;
    std::optional<QString> sentAt;
    std::optional<QString> content;
    std::optional<QStringList> topics;

    // chatTarget-sessionName-senderName-sentAt-content, absent fields as empty text
    QString identity() const;

    bool operator==(const HighlightSnapshot&) const = default;
};

// How many messages of the period each overview list holds in all (the lists themselves are
// capped), and how many need the user. A current core always sends all five.
struct SummaryCounts
{
    qint64 todo = 0;
    qint64 followUp = 0;
    qint64 important = 0;
    qint64 meeting = 0;
    qint64 needsYou = 0; // to-dos, follow-ups, important or naming the user, each once

    bool operator==(const SummaryCounts&) const = default;
};

struct SummarySnapshot
{
    std::optional<qint64> totalMessages;
    std::optional<QList<NamedCount>> topSessions;
    std::optional<QList<NamedCount>> topSenders;
    std::optional<QList<NamedCount>> topSources;
    std::optional<QList<NamedCount>> topTopics;
    std::optional<QList<HighlightSnapshot>> highlights;
    std::optional<QStringList> followUps;
    std::optional<QStringList> actionItems;
    std::optional<QStringList> meetingItems;
    std::optional<QStringList> myRelatedItems;
    std::optional<QStringList> noticeItems;
    std::optional<SummaryCounts> counts; // absent from an older core

    bool operator==(const SummarySnapshot&) const = default;
};

struct BuiltInChatSnapshot
{
    std::optional<QString> provider;
    std::optional<QString> model;
    std::optional<bool> enabled;
    std::optional<QString> fallbackMode;
    std::optional<bool> hasApiKey;
    std::optional<QString> notes;

    bool operator==(const BuiltInChatSnapshot&) const = default;
};

struct AgentAccessSnapshot
{
    std::optional<bool> tokenRequired;
    std::optional<QString> tokenHeader;
    std::optional<QString> localhostUrl;
    std::optional<QStringList> lanUrls;
    std::optional<QStringList> mobileUrls;
    std::optional<QString> remoteStatus;
    std::optional<QStringList> remoteUrls;
    std::optional<QStringList> remoteAgentUrls;
    std::optional<QStringList> remoteNotes;
    std::optional<QStringList> notes;

    bool operator==(const AgentAccessSnapshot&) const = default;
};

struct SetupItemSnapshot
{
    QString key; // required: an item without it fails the whole document
    std::optional<QString> title;
    std::optional<QString> status;
    std::optional<QString> description;
    std::optional<QString> action;

    bool operator==(const SetupItemSnapshot&) const = default;
};

struct SetupSnapshot
{
    std::optional<QList<SetupItemSnapshot>> items;

    bool operator==(const SetupSnapshot&) const = default;
};

struct NotificationPermissionSnapshot
{
    std::optional<bool> enabled;
    std::optional<qint64> auth;
    std::optional<QString> bundleId;
    std::optional<QString> path;

    bool operator==(const NotificationPermissionSnapshot&) const = default;
};

struct NotificationDBDiagnosticsSnapshot
{
    std::optional<qint64> recordCount;
    std::optional<qint64> latestRecId;
    std::optional<QString> latestDeliveredAt;
    std::optional<QString> identifier;
    std::optional<NotificationPermissionSnapshot> permission;

    bool operator==(const NotificationDBDiagnosticsSnapshot&) const = default;
};

struct LocalStoreDiagnosticsSnapshot
{
    std::optional<bool> messageDbExists;
    std::optional<bool> messageDbSqlite;
    std::optional<QString> messageDbReason;
    std::optional<qint64> indexMessageCount;
    std::optional<QString> messageDb;

    bool operator==(const LocalStoreDiagnosticsSnapshot&) const = default;
};

struct LocalSnapshotDiagnosticsSnapshot
{
    std::optional<bool> available;
    std::optional<qint64> candidateCount;
    std::optional<qint64> previewCount;
    std::optional<QString> latestPath;
    std::optional<QString> latestMtime;
    std::optional<QString> latestMessageAt;

    bool operator==(const LocalSnapshotDiagnosticsSnapshot&) const = default;
};

struct AccessibilityDiagnosticsSnapshot
{
    std::optional<bool> permission;
    std::optional<qint64> windowCount;
    std::optional<bool> windowsVisibleToAx;

    bool operator==(const AccessibilityDiagnosticsSnapshot&) const = default;
};

struct AccessibilityPreviewDiagnosticsSnapshot
{
    std::optional<bool> available;
    std::optional<qint64> previewCount;
    std::optional<QString> error;

    bool operator==(const AccessibilityPreviewDiagnosticsSnapshot&) const = default;
};

struct VisibleWindowDiagnosticsSnapshot
{
    std::optional<bool> visible;
    std::optional<QString> appName;
    std::optional<qint64> windowId;
    std::optional<qint64> width;
    std::optional<qint64> height;

    bool operator==(const VisibleWindowDiagnosticsSnapshot&) const = default;
};

struct WeComDiagnosticsSnapshot
{
    std::optional<QString> status; // "ready", "limited", "blocked"; anything else: no verdict yet
    std::optional<QString> captureQuality;
    std::optional<QString> headline;
    std::optional<QString> message;
    std::optional<NotificationDBDiagnosticsSnapshot> notificationDb;
    std::optional<LocalStoreDiagnosticsSnapshot> localStore;
    std::optional<LocalSnapshotDiagnosticsSnapshot> localSnapshot;
    std::optional<AccessibilityDiagnosticsSnapshot> accessibility;
    std::optional<AccessibilityPreviewDiagnosticsSnapshot> accessibilityPreview;
    std::optional<VisibleWindowDiagnosticsSnapshot> visibleWindow;
    std::optional<QStringList> recommendations;

    bool operator==(const WeComDiagnosticsSnapshot&) const = default;
};

struct DiagnosticsSnapshot
{
    std::optional<WeComDiagnosticsSnapshot> wecom;

    bool operator==(const DiagnosticsSnapshot&) const = default;
};

// The whole snapshot document.
struct BridgeStateResponse
{
    std::optional<ConfigSnapshot> config;
    std::optional<SummarySnapshot> summary;
    std::optional<BuiltInChatSnapshot> builtInChat;
    std::optional<AgentAccessSnapshot> agentAccess;
    std::optional<SetupSnapshot> setup;
    std::optional<DiagnosticsSnapshot> diagnostics;

    bool operator==(const BridgeStateResponse&) const = default;
};
