#pragma once

#include "common/Result.h"
#include "model/ActionReplies.h"
#include "model/BridgeEvent.h"
#include "model/BridgeStateResponse.h"
#include "model/DecodeError.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Decoding of the core's reply bodies. Object keys are converted from snake case to
// camel case before they are matched with field names; unknown keys are ignored; a
// missing key and null both mean absent; any present value of the wrong JSON type
// fails the whole document.
namespace wire {

Result<BridgeStateResponse, DecodeError> decodeState(const QByteArray& body);
// The events list of an EventListResponse (the key `events` is required).
Result<QList<BridgeEvent>, DecodeError> decodeEvents(const QByteArray& body);
Result<EventListResponse, DecodeError> decodeEventList(const QByteArray& body);
Result<APIActionResponse, DecodeError> decodeActionResponse(const QByteArray& body);
Result<ChatResponse, DecodeError> decodeChatResponse(const QByteArray& body);
Result<AskResponse, DecodeError> decodeAskResponse(const QByteArray& body);
Result<NativeConfigSaveResponse, DecodeError> decodeNativeConfigSaveResponse(const QByteArray& body);
Result<WeComScanResponse, DecodeError> decodeWeComScanResponse(const QByteArray& body);

// The snake_case -> camelCase rule applied to every object key:
// has_api_key -> hasApiKey, base_URL -> baseUrl, _meta_data -> _metaData,
// builtInChat -> builtInChat (a single piece keeps its case).
QString convertKey(const QString& key);

} // namespace wire
