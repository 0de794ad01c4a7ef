#include "model/WireDecoder.h"

namespace wire {

namespace {
DecodeError notYet()
{
    return DecodeError(QStringLiteral("not yet"));
}
} // namespace

Result<BridgeStateResponse, DecodeError> decodeState(const QByteArray&)
{
    return notYet();
}
Result<QList<BridgeEvent>, DecodeError> decodeEvents(const QByteArray&)
{
    return notYet();
}
Result<EventListResponse, DecodeError> decodeEventList(const QByteArray&)
{
    return notYet();
}
Result<APIActionResponse, DecodeError> decodeActionResponse(const QByteArray&)
{
    return notYet();
}
Result<ChatResponse, DecodeError> decodeChatResponse(const QByteArray&)
{
    return notYet();
}
Result<AskResponse, DecodeError> decodeAskResponse(const QByteArray&)
{
    return notYet();
}
Result<NativeConfigSaveResponse, DecodeError> decodeNativeConfigSaveResponse(const QByteArray&)
{
    return notYet();
}
Result<WeComScanResponse, DecodeError> decodeWeComScanResponse(const QByteArray&)
{
    return notYet();
}

QString convertKey(const QString& key)
{
    return key;
}

} // namespace wire
