#pragma once

#include "model/BridgeEvent.h"
#include "model/BridgeStateResponse.h"
#include "ui/overview/logic/DashboardContent.h"
#include "ui/overview/logic/DashboardTask.h"

#include <QList>
#include <QStringList>
#include <optional>

// The lists of the overview dashboard, derived from the core's digest when it is there and
// from the loaded messages when it is not. A current core's digest carries counts: then the
// to-do card holds the action items alone, the important card the highlights themselves, and
// the titles count what the timeline's presets hold. A message the core sorts as a scam, or
// excluded, is in no card. Pure functions; nothing is cached.
namespace dashboard {

using State = std::optional<BridgeStateResponse>;

// Fixed texts.
QString followUpPlaceholder(); // "最近没有明确稍后处理事项"
QString meetingPlaceholder();  // "还没有会议记录"
QStringList suggestionPlaceholders(); // "先刷新消息，再查看最近重点", "确认微信和企业微信读取规则"
QString unnamedSession(); // "未命名会话"

// Keeps each string the first time it occurs (exact comparison), in list order.
QStringList unique(const QStringList& items);
// Turns a summary line of the core into a display line: drops the client prefixes, joins lines,
// removes one leading "…(ISO time)：" part, then one leading label of at most 24 characters.
QString cleanedText(const QString& text);
// Whether the text contains one of the dashboard's meeting words.
bool isMeetingText(const QString& text);
// Due label of a summary item: 今天, 明天, 下午, 上午 (tested in that order), else 待确认.
QString dueLabel(const QString& rawItem);

QList<DashboardTask> todoItems(const State& state, const QList<BridgeEvent>& events);     // at most 6
QList<BridgeEvent> importantEvents(const State& state, const QList<BridgeEvent>& events); // at most 8
QStringList meetingRows(const State& state, const QList<BridgeEvent>& events);            // 1 to 3 rows
QStringList followUpItems(const State& state);                                            // never empty
QStringList suggestionItems(const QList<DashboardTask>& todoItems);                       // 1 or 2 rows

// The digest's total when present, else the number of loaded messages.
qint64 totalMessages(const State& state, const QList<BridgeEvent>& events);
// The digest's counts, when the core sends them.
const SummaryCounts* countsOf(const State& state);
// A card's title count: the core's count when there is one (never fewer than the card's own
// rows), else the number of rows.
int titleCount(const std::optional<qint64>& coreCount, qsizetype rows);
// A highlight as the message it names (target, session, sender, send time, text).
BridgeEvent highlightEvent(const HighlightSnapshot& highlight);
// Row counts for the small cards: 0 when only the placeholder row is shown.
int meetingCount(const QStringList& meetingRows);
int followUpCount(const QStringList& followUpItems);

// All of the above at once (to-dos computed once and reused for the suggestions).
DashboardContent derive(const State& state, const QList<BridgeEvent>& events);

} // namespace dashboard
