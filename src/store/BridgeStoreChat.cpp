#include "common/Logging.h"
#include "store/BridgeStore.h"
#include "store/ChatRules.h"

namespace {
constexpr int kAskHours = 168;
} // namespace

// One question: the core's chat, else its question endpoint, else the local answer.
// Whatever happens, exactly one assistant bubble follows the user's bubble.
QCoro::Task<> BridgeStore::sendChat(QString question)
{
    const QString trimmed = question.trimmed();
    if (trimmed.isEmpty())
        co_return;

    const auto alive = m_alive;
    appendBubble(ChatBubble::Role::User, trimmed);
    setSending(true);

    // The local answer reads events and state as they are when it is composed, so a
    // refresh that lands while the question is pending is taken into account.
    const auto answerOrLocal = [this, &trimmed](const std::optional<QString>& reply) {
        const QString text = reply.value_or(QString()).trimmed();
        return text.isEmpty() ? chatrules::localFallbackAnswer(trimmed, m_events, m_state) : text;
    };

    auto chatReply = co_await m_api.chat(trimmed, m_chatSessionId);
    if (!*alive)
        co_return;
    if (chatReply.ok()) {
        if (chatReply->sessionId)
            m_chatSessionId = chatReply->sessionId;
        appendBubble(ChatBubble::Role::Assistant, answerOrLocal(chatReply->message));
        setSending(false);
        co_return;
    }

    const QString chatError = chatReply.error().description();
    qCInfo(lcStore) << "chat failed, asking instead:" << chatError;
    auto askReply = co_await m_api.ask(trimmed, kAskHours);
    if (!*alive)
        co_return;
    if (askReply.ok()) {
        appendBubble(ChatBubble::Role::Assistant, answerOrLocal(askReply->answer));
    } else {
        qCInfo(lcStore) << "ask failed too:" << askReply.error().description();
        setLastError(friendlyNetworkMessage(chatError, askReply.error().description()));
        appendBubble(ChatBubble::Role::Assistant, answerOrLocal(std::nullopt));
    }
    setSending(false);
}
