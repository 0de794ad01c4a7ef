#include "store/ChatBubble.h"

ChatBubble ChatBubble::make(Role role, const QString& text, const QDateTime& now)
{
    return ChatBubble{QUuid::createUuid(), role, text, now};
}
