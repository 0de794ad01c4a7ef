#include "model/WireDecoder.h"

#include "common/Logging.h"
#include "model/WireReader.h"

// The field tables: for every record, the name each converted key is matched against and
// the member it fills, in declaration order. Records come before the records that hold
// them.
namespace wire::detail {

using namespace Qt::StringLiterals;

template <> const FieldTable<AllowlistSnapshot>& fieldsOf()
{
    using R = AllowlistSnapshot;
    static const FieldTable<R> table{
        field<&R::name>("name"_L1),
        field<&R::kind>("kind"_L1),
        field<&R::enabled>("enabled"_L1),
    };
    return table;
}

template <> const FieldTable<ChatClientSnapshot>& fieldsOf()
{
    using R = ChatClientSnapshot;
    static const FieldTable<R> table{
        field<&R::enabled>("enabled"_L1),   field<&R::source>("source"_L1),
        field<&R::appName>("appName"_L1),   field<&R::dataRoot>("dataRoot"_L1),
        field<&R::ruleMode>("ruleMode"_L1), field<&R::allowlist>("allowlist"_L1),
    };
    return table;
}

template <> const FieldTable<AIProviderSnapshot>& fieldsOf()
{
    using R = AIProviderSnapshot;
    static const FieldTable<R> table{
        field<&R::provider>("provider"_L1),   field<&R::enabled>("enabled"_L1),
        field<&R::model>("model"_L1),         field<&R::baseUrl>("baseUrl"_L1),
        field<&R::hasApiKey>("hasApiKey"_L1),
    };
    return table;
}

template <> const FieldTable<UserProfileSnapshot>& fieldsOf()
{
    using R = UserProfileSnapshot;
    static const FieldTable<R> table{
        field<&R::displayName>("displayName"_L1),
        field<&R::aliases>("aliases"_L1),
    };
    return table;
}

template <> const FieldTable<ConfigSnapshot>& fieldsOf()
{
    using R = ConfigSnapshot;
    static const FieldTable<R> table{
        field<&R::watchSource>("watchSource"_L1),
        field<&R::chatTarget>("chatTarget"_L1),
        field<&R::notificationKeywords>("notificationKeywords"_L1),
        field<&R::notificationExcludeKeywords>("notificationExcludeKeywords"_L1),
        field<&R::wechat>("wechat"_L1),
        field<&R::wecom>("wecom"_L1),
        field<&R::aiProvider>("aiProvider"_L1),
        field<&R::userProfile>("userProfile"_L1),
        field<&R::remoteAccessProtected>("remoteAccessProtected"_L1),
        field<&R::notifyTodosAndMentions>("notifyTodosAndMentions"_L1),
    };
    return table;
}

template <> const FieldTable<HighlightSnapshot>& fieldsOf()
{
    using R = HighlightSnapshot;
    static const FieldTable<R> table{
        field<&R::chatTarget>("chatTarget"_L1),   field<&R::chatTargetLabel>("chatTargetLabel"_L1),
        field<&R::sessionName>("sessionName"_L1), field<&R::senderName>("senderName"_L1),
        field<&R::sentAt>("sentAt"_L1),           field<&R::content>("content"_L1),
        field<&R::topics>("topics"_L1),
    };
    return table;
}

template <> const FieldTable<SummaryCounts>& fieldsOf()
{
    using R = SummaryCounts;
    static const FieldTable<R> table{
        field<&R::todo>("todo"_L1),           field<&R::followUp>("followUp"_L1),
        field<&R::important>("important"_L1), field<&R::meeting>("meeting"_L1),
        field<&R::needsYou>("needsYou"_L1),
    };
    return table;
}

template <> const FieldTable<SummarySnapshot>& fieldsOf()
{
    using R = SummarySnapshot;
    static const FieldTable<R> table{
        field<&R::totalMessages>("totalMessages"_L1), field<&R::topSessions>("topSessions"_L1),
        field<&R::topSenders>("topSenders"_L1),       field<&R::topSources>("topSources"_L1),
        field<&R::topTopics>("topTopics"_L1),         field<&R::highlights>("highlights"_L1),
        field<&R::followUps>("followUps"_L1),         field<&R::actionItems>("actionItems"_L1),
        field<&R::meetingItems>("meetingItems"_L1),   field<&R::myRelatedItems>("myRelatedItems"_L1),
        field<&R::noticeItems>("noticeItems"_L1),     field<&R::counts>("counts"_L1),
    };
    return table;
}

template <> const FieldTable<BuiltInChatSnapshot>& fieldsOf()
{
    using R = BuiltInChatSnapshot;
    static const FieldTable<R> table{
        field<&R::provider>("provider"_L1),   field<&R::model>("model"_L1),
        field<&R::enabled>("enabled"_L1),     field<&R::fallbackMode>("fallbackMode"_L1),
        field<&R::hasApiKey>("hasApiKey"_L1), field<&R::notes>("notes"_L1),
    };
    return table;
}

template <> const FieldTable<AgentAccessSnapshot>& fieldsOf()
{
    using R = AgentAccessSnapshot;
    static const FieldTable<R> table{
        field<&R::tokenRequired>("tokenRequired"_L1), field<&R::tokenHeader>("tokenHeader"_L1),
        field<&R::localhostUrl>("localhostUrl"_L1),   field<&R::lanUrls>("lanUrls"_L1),
        field<&R::mobileUrls>("mobileUrls"_L1),       field<&R::remoteStatus>("remoteStatus"_L1),
        field<&R::remoteUrls>("remoteUrls"_L1),       field<&R::remoteAgentUrls>("remoteAgentUrls"_L1),
        field<&R::remoteNotes>("remoteNotes"_L1),     field<&R::notes>("notes"_L1),
    };
    return table;
}

template <> const FieldTable<SetupItemSnapshot>& fieldsOf()
{
    using R = SetupItemSnapshot;
    static const FieldTable<R> table{
        field<&R::key>("key"_L1),       field<&R::title>("title"_L1),
        field<&R::status>("status"_L1), field<&R::description>("description"_L1),
        field<&R::action>("action"_L1),
    };
    return table;
}

template <> const FieldTable<SetupSnapshot>& fieldsOf()
{
    static const FieldTable<SetupSnapshot> table{field<&SetupSnapshot::items>("items"_L1)};
    return table;
}

template <> const FieldTable<NotificationPermissionSnapshot>& fieldsOf()
{
    using R = NotificationPermissionSnapshot;
    static const FieldTable<R> table{
        field<&R::enabled>("enabled"_L1),
        field<&R::auth>("auth"_L1),
        field<&R::bundleId>("bundleId"_L1),
        field<&R::path>("path"_L1),
    };
    return table;
}

template <> const FieldTable<NotificationDBDiagnosticsSnapshot>& fieldsOf()
{
    using R = NotificationDBDiagnosticsSnapshot;
    static const FieldTable<R> table{
        field<&R::recordCount>("recordCount"_L1),
        field<&R::latestRecId>("latestRecId"_L1),
        field<&R::latestDeliveredAt>("latestDeliveredAt"_L1),
        field<&R::identifier>("identifier"_L1),
        field<&R::permission>("permission"_L1),
    };
    return table;
}

template <> const FieldTable<LocalStoreDiagnosticsSnapshot>& fieldsOf()
{
    using R = LocalStoreDiagnosticsSnapshot;
    static const FieldTable<R> table{
        field<&R::messageDbExists>("messageDbExists"_L1),
        field<&R::messageDbSqlite>("messageDbSqlite"_L1),
        field<&R::messageDbReason>("messageDbReason"_L1),
        field<&R::indexMessageCount>("indexMessageCount"_L1),
        field<&R::messageDb>("messageDb"_L1),
    };
    return table;
}

template <> const FieldTable<LocalSnapshotDiagnosticsSnapshot>& fieldsOf()
{
    using R = LocalSnapshotDiagnosticsSnapshot;
    static const FieldTable<R> table{
        field<&R::available>("available"_L1),       field<&R::candidateCount>("candidateCount"_L1),
        field<&R::previewCount>("previewCount"_L1), field<&R::latestPath>("latestPath"_L1),
        field<&R::latestMtime>("latestMtime"_L1),   field<&R::latestMessageAt>("latestMessageAt"_L1),
    };
    return table;
}

template <> const FieldTable<AccessibilityDiagnosticsSnapshot>& fieldsOf()
{
    using R = AccessibilityDiagnosticsSnapshot;
    static const FieldTable<R> table{
        field<&R::permission>("permission"_L1),
        field<&R::windowCount>("windowCount"_L1),
        field<&R::windowsVisibleToAx>("windowsVisibleToAx"_L1),
    };
    return table;
}

template <> const FieldTable<AccessibilityPreviewDiagnosticsSnapshot>& fieldsOf()
{
    using R = AccessibilityPreviewDiagnosticsSnapshot;
    static const FieldTable<R> table{
        field<&R::available>("available"_L1),
        field<&R::previewCount>("previewCount"_L1),
        field<&R::error>("error"_L1),
    };
    return table;
}

template <> const FieldTable<VisibleWindowDiagnosticsSnapshot>& fieldsOf()
{
    using R = VisibleWindowDiagnosticsSnapshot;
    static const FieldTable<R> table{
        field<&R::visible>("visible"_L1),   field<&R::appName>("appName"_L1),
        field<&R::windowId>("windowId"_L1), field<&R::width>("width"_L1),
        field<&R::height>("height"_L1),
    };
    return table;
}

template <> const FieldTable<WeComDiagnosticsSnapshot>& fieldsOf()
{
    using R = WeComDiagnosticsSnapshot;
    static const FieldTable<R> table{
        field<&R::status>("status"_L1),
        field<&R::captureQuality>("captureQuality"_L1),
        field<&R::headline>("headline"_L1),
        field<&R::message>("message"_L1),
        field<&R::notificationDb>("notificationDb"_L1),
        field<&R::localStore>("localStore"_L1),
        field<&R::localSnapshot>("localSnapshot"_L1),
        field<&R::accessibility>("accessibility"_L1),
        field<&R::accessibilityPreview>("accessibilityPreview"_L1),
        field<&R::visibleWindow>("visibleWindow"_L1),
        field<&R::recommendations>("recommendations"_L1),
    };
    return table;
}

template <> const FieldTable<DiagnosticsSnapshot>& fieldsOf()
{
    static const FieldTable<DiagnosticsSnapshot> table{field<&DiagnosticsSnapshot::wecom>("wecom"_L1)};
    return table;
}

template <> const FieldTable<BridgeStateResponse>& fieldsOf()
{
    using R = BridgeStateResponse;
    static const FieldTable<R> table{
        field<&R::config>("config"_L1),
        field<&R::summary>("summary"_L1),
        field<&R::builtInChat>("builtInChat"_L1),
        field<&R::agentAccess>("agentAccess"_L1),
        field<&R::setup>("setup"_L1),
        field<&R::diagnostics>("diagnostics"_L1),
    };
    return table;
}

template <> const FieldTable<EventSorting>& fieldsOf()
{
    using R = EventSorting;
    static const FieldTable<R> table{
        field<&R::todo>("todo"_L1),
        field<&R::followUp>("followUp"_L1),
        field<&R::meeting>("meeting"_L1),
        field<&R::important>("important"_L1),
        field<&R::suspicious>("suspicious"_L1),
        field<&R::mine>("mine"_L1),
        field<&R::excluded>("excluded"_L1),
        field<&R::done>("done"_L1),
        field<&R::due>("due"_L1),
    };
    return table;
}

template <> const FieldTable<BridgeEvent>& fieldsOf()
{
    using R = BridgeEvent;
    static const FieldTable<R> table{
        field<&R::eventId>("id"_L1), // the one key that is not the field name
        field<&R::chatTarget>("chatTarget"_L1),
        field<&R::sessionName>("sessionName"_L1),
        field<&R::sessionKind>("sessionKind"_L1),
        field<&R::senderName>("senderName"_L1),
        field<&R::sentAt>("sentAt"_L1),
        field<&R::content>("content"_L1),
        field<&R::contentType>("contentType"_L1),
        field<&R::transcript>("transcript"_L1),
        field<&R::sorting>("sorting"_L1),
    };
    return table;
}

template <> const FieldTable<EventListResponse>& fieldsOf()
{
    using R = EventListResponse;
    static const FieldTable<R> table{field<&R::events>("events"_L1), field<&R::kind>("kind"_L1)};
    return table;
}

template <> const FieldTable<APIActionResponse>& fieldsOf()
{
    using R = APIActionResponse;
    static const FieldTable<R> table{
        field<&R::ok>("ok"_L1),
        field<&R::error>("error"_L1),
        field<&R::message>("message"_L1),
        field<&R::mobileUrl>("mobileUrl"_L1),
    };
    return table;
}

template <> const FieldTable<ChatResponse>& fieldsOf()
{
    using R = ChatResponse;
    static const FieldTable<R> table{
        field<&R::sessionId>("sessionId"_L1), field<&R::message>("message"_L1), field<&R::ok>("ok"_L1),
        field<&R::mode>("mode"_L1),           field<&R::model>("model"_L1),     field<&R::error>("error"_L1),
    };
    return table;
}

template <> const FieldTable<AskResponse>& fieldsOf()
{
    using R = AskResponse;
    static const FieldTable<R> table{
        field<&R::title>("title"_L1),
        field<&R::answer>("answer"_L1),
        field<&R::matchedCount>("matchedCount"_L1),
    };
    return table;
}

template <> const FieldTable<NativeConfigSaveResponse>& fieldsOf()
{
    using R = NativeConfigSaveResponse;
    static const FieldTable<R> table{
        field<&R::ok>("ok"_L1),
        field<&R::error>("error"_L1),
        field<&R::message>("message"_L1),
    };
    return table;
}

template <> const FieldTable<WeComScanResponse>& fieldsOf()
{
    using R = WeComScanResponse;
    static const FieldTable<R> table{
        field<&R::ok>("ok"_L1),
        field<&R::error>("error"_L1),
        field<&R::message>("message"_L1),
        field<&R::detected>("detected"_L1),
        field<&R::inserted>("inserted"_L1),
        field<&R::candidateEvents>("candidateEvents"_L1),
    };
    return table;
}

template <typename R> Result<R, DecodeError> decodeLogged(const QByteArray& body, const char* what)
{
    Result<R, DecodeError> result = decodeDocument<R>(body);
    if (!result)
        qCDebug(lcModel).noquote() << what << result.error().description();
    return result;
}

} // namespace wire::detail

namespace wire {

using detail::decodeLogged;

Result<BridgeStateResponse, DecodeError> decodeState(const QByteArray& body)
{
    return decodeLogged<BridgeStateResponse>(body, "state:");
}

Result<EventListResponse, DecodeError> decodeEventList(const QByteArray& body)
{
    return decodeLogged<EventListResponse>(body, "events:");
}

Result<QList<BridgeEvent>, DecodeError> decodeEvents(const QByteArray& body)
{
    Result<EventListResponse, DecodeError> list = decodeEventList(body);
    if (!list)
        return list.error();
    return std::move(list.value().events);
}

Result<APIActionResponse, DecodeError> decodeActionResponse(const QByteArray& body)
{
    return decodeLogged<APIActionResponse>(body, "action reply:");
}

Result<ChatResponse, DecodeError> decodeChatResponse(const QByteArray& body)
{
    return decodeLogged<ChatResponse>(body, "chat reply:");
}

Result<AskResponse, DecodeError> decodeAskResponse(const QByteArray& body)
{
    return decodeLogged<AskResponse>(body, "ask reply:");
}

Result<NativeConfigSaveResponse, DecodeError> decodeNativeConfigSaveResponse(const QByteArray& body)
{
    return decodeLogged<NativeConfigSaveResponse>(body, "settings-save reply:");
}

Result<WeComScanResponse, DecodeError> decodeWeComScanResponse(const QByteArray& body)
{
    return decodeLogged<WeComScanResponse>(body, "scan reply:");
}

QString convertKey(const QString& key)
{
    return ConvertedKey(key).toString();
}

} // namespace wire
