#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

// One line of the assistant conversation; lives in memory only.
struct ChatBubble
{
    enum class Role { User, Assistant, System };

    QUuid id;
    Role role = Role::System;
    QString text;
    QDateTime timestamp;

    static ChatBubble make(Role role, const QString& text, const QDateTime& now);
    bool operator==(const ChatBubble&) const = default;
};
