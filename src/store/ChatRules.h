#pragma once

#include "model/BridgeEvent.h"
#include "model/BridgeStateResponse.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The assistant's rule-based answers: what razo says from the messages it already holds
// when the core's AI gives no usable text. Pure functions over events and state, no
// Widgets, no network. Every keyword list, limit and text here is part of the product.
// A message that carries the core's sorting is judged by it (to-dos, follow-ups, meetings,
// whether it names the user); the keyword rules below judge only messages without one (from
// an older core). A message sorted as a scam, or excluded, is never used.
namespace chatrules {

inline constexpr int kListLimit = 6; // at most this many lines under each heading

// Which client a question is about: "wecom", "wechat" or nothing. WeCom words are
// tested first, so "微信和企业微信" is about WeCom.
std::optional<QString> chatTargetIntent(const QString& question);
bool isMeetingQuery(const QString& question);
// Any question holding "我" counts: the first keyword is that single character.
bool isPersonalQuery(const QString& question);

// The user's display name followed by the aliases, trimmed, without empties and repeats.
QStringList currentUserAliases(const std::optional<BridgeStateResponse>& state);

// Digit runs become "#", white-space runs disappear.
QString normalizedContentKey(const QString& text);
// Drops repeats (same client, session, sender and content key); the first one survives.
QList<BridgeEvent> dedupedEvents(const QList<BridgeEvent>& events);

bool isMeetingEvent(const BridgeEvent& event);
// Announces or schedules a meeting (a report of a past meeting does not count).
bool isMeetingScheduleEvent(const BridgeEvent& event);
// Names the user (session, sender or text holds an alias, ignoring case), or "@我"/"@了你".
bool eventMentionsUser(const BridgeEvent& event, const QStringList& aliases);

bool isLowPriorityNotice(const QString& text);
bool hasExplicitRequestMarker(const QString& text);
bool isSelfProgress(const QString& text);
// The to-do test of the general answer, on a message's display text.
bool isTodoText(const QString& text);
// Something to do: by the sorting an open to-do or follow-up, else by the to-do test.
bool isTodoEvent(const BridgeEvent& event);

// "- 企业微信｜会话：正文"
QString eventLine(const BridgeEvent& event);

// The whole local answer to a question over the loaded messages and state.
QString localFallbackAnswer(const QString& question, const QList<BridgeEvent>& events,
                            const std::optional<BridgeStateResponse>& state);

} // namespace chatrules
