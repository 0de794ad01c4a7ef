#pragma once

#include <QList>
#include <QString>
#include <optional>

// The five timeline presets, in segment order.
enum class MessageListPreset { All, Todo, Important, Meeting, FollowUp };

namespace messagepreset {
QList<MessageListPreset> all();
QString rawValue(MessageListPreset p);                      // "all", "todo", "important", "meeting", "followUp"
std::optional<MessageListPreset> fromRawValue(const QString& raw); // none for an unknown value
QString segmentLabel(MessageListPreset p);                  // "全部", "待办", "重要", "会议", "稍后"
QString heading(MessageListPreset p); // "最近 7 天消息", "待处理消息", "重要消息", "会议相关", "稍后处理"
// The kind the core is asked for: "todo", "important", "meeting", "follow_up"; none for `all`.
std::optional<QString> coreKind(MessageListPreset p);
} // namespace messagepreset
