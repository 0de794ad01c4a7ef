#pragma once

#include "model/EventSorting.h"

#include <QList>
#include <QString>
#include <optional>

// One received chat message as the core stored it. `eventId` comes from the key `id`.
struct BridgeEvent
{
    std::optional<qint64> eventId;
    std::optional<QString> chatTarget; // "wechat" or "wecom"
    std::optional<QString> sessionName;
    std::optional<QString> sessionKind;
    std::optional<QString> senderName;
    std::optional<QString> sentAt;
    std::optional<QString> content;
    std::optional<QString> contentType;
    std::optional<QString> transcript;
    std::optional<EventSorting> sorting; // absent from an older core

    // Identity for lists: the decimal eventId, else
    // chatTarget-sessionName-senderName-sentAt-displayContent (absent fields empty).
    QString stableId() const;
    // transcript if non-empty, else content if non-empty, else "（暂无正文）"; no trimming.
    QString displayContent() const;
    // "企业微信" for exactly "wecom", "微信" for exactly "wechat", otherwise "消息".
    QString targetLabel() const;

    bool operator==(const BridgeEvent&) const = default;
};

// Reply of GET /api/events. `events` is required. `kind` echoes the kind a current core was
// asked for (an older core ignores the parameter and sends no echo).
struct EventListResponse
{
    QList<BridgeEvent> events;
    std::optional<QString> kind;

    bool operator==(const EventListResponse&) const = default;
};
