#include "common/Logging.h"
#include "store/BridgeStore.h"

namespace {
constexpr int kPresetHours = 168;
constexpr int kPresetLimit = 500;
} // namespace

// A new choice: whatever the core answers for the preset before is of no use now.
void BridgeStore::presetChosen()
{
    ++m_presetAsksStarted;
    if (m_presetCancel)
        m_presetCancel->cancel();
    m_presetAskRunning = false;
    m_coreLacksKinds = false; // asked again on purpose: the core may have been updated meanwhile
    setPresetResult(std::nullopt);
    if (m_state) // before the first state no core has answered yet; the first refresh asks
        askCoreForPreset();
}

// Asks the core for the chosen kind. Only the latest ask applies its answer; while one runs, a
// refresh starts none (a slow core is not asked again and again).
QCoro::Task<> BridgeStore::askCoreForPreset()
{
    const MessageListPreset preset = m_messageListPreset;
    const std::optional<QString> kind = messagepreset::coreKind(preset);
    if (!kind || m_coreLacksKinds || m_presetAskRunning)
        co_return;
    const auto alive = m_alive;
    const quint64 ask = ++m_presetAsksStarted;
    auto cancel = std::make_shared<CancelToken>();
    m_presetCancel = cancel;
    m_presetAskRunning = true;

    auto reply = co_await m_api.eventsOfKind(*kind, kPresetHours, kPresetLimit, cancel);
    if (!*alive || ask != m_presetAsksStarted)
        co_return; // another preset was chosen meanwhile
    m_presetAskRunning = false;
    if (reply.ok() && reply->kind == kind) {
        setPresetResult(PresetResult{preset, std::move(reply).value().events, kPresetHours, kPresetLimit});
    } else if (reply.ok() || (reply.error().kind() == BridgeAPIError::Kind::Http &&
                              (reply.error().status() == 404 || reply.error().status() == 400))) {
        m_coreLacksKinds = true;
        qCDebug(lcStore) << "the core does not sort by kind; the loaded messages are filtered";
    } else {
        qCInfo(lcStore) << "asking the core for a preset failed; the loaded messages are filtered:"
                        << reply.error().description();
    }
}

void BridgeStore::setPresetResult(std::optional<PresetResult> result)
{
    if (m_presetResult == result)
        return; // the same answer again: the list stays as it is
    m_presetResult = std::move(result);
    emit presetResultChanged();
}
