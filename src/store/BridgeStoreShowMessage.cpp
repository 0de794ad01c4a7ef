// Opening the messages section at one message: razo --show-message, a notification's click.
#include "store/BridgeStore.h"

#include "common/Logging.h"

#include <algorithm>

QCoro::Task<> BridgeStore::showMessage(qint64 id)
{
    qCInfo(lcStore) << "asked to show message" << id;
    if (isLoaded(id)) {
        m_wantedMessage.reset();
        // First, so that a messages view created next finds it; announced also when it is the
        // message already shown, so that the view scrolls back to it.
        m_messageToShow = id;
        emit messageToShowChanged();
        setSelectedSection(AppSection::Messages);
        co_return;
    }
    m_wantedMessage = WantedMessage{id, m_refreshesStarted};
    setSelectedSection(AppSection::Messages);
    // It may have arrived since the last refresh. Before anything was ever loaded, start-up's
    // first refresh looks for it; a refresh now would race the core's launch.
    if (m_state)
        co_await refreshAll();
}

bool BridgeStore::isLoaded(qint64 messageId) const
{
    return std::any_of(m_events.cbegin(), m_events.cend(),
                       [messageId](const BridgeEvent& e) { return e.eventId == messageId; });
}

void BridgeStore::settleMessageToShow(quint64 refresh)
{
    if (!m_wantedMessage || refresh <= m_wantedMessage->askedAfterRefresh)
        return;
    const qint64 id = m_wantedMessage->id;
    m_wantedMessage.reset();
    if (isLoaded(id)) {
        setMessageToShow(id);
    } else {
        qCInfo(lcStore) << "message" << id << "is not among the loaded messages";
        showToast(QStringLiteral("没有找到这条消息，它可能已过期或已被排除。"));
    }
}

void BridgeStore::clearMessageToShow()
{
    setMessageToShow(std::nullopt);
}

void BridgeStore::setMessageToShow(std::optional<qint64> id)
{
    if (m_messageToShow == id)
        return;
    m_messageToShow = id;
    emit messageToShowChanged();
}
