#pragma once

#include "model/BridgeEvent.h"
#include "model/BridgeStateResponse.h"
#include "store/MessageListPreset.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What the timeline shows: keyword presets, the source filter and the search query, as pure
// functions of the loaded messages and state. Nothing here is cached; the view recomputes.
namespace messagefilter {

// Keyword lists of the timeline presets (deliberately not those of the dashboard or the assistant).
const QStringList& requestWords();
const QStringList& noReplyWords();
const QStringList& broadcastWords();
const QStringList& questionWords();
const QStringList& meetingWords();
const QStringList& followUpWords();

// True when `text` contains, ignoring case, at least one token; false for an empty list.
bool containsAny(const QString& text, const QStringList& tokens);

// A no-reply word fails it; otherwise it passes unless a broadcast word stands without a question word.
bool passesNoticeTest(const QString& displayContent);

// A message that carries the core's sorting is matched by it (a suspicious or excluded message
// by no preset but `all`); one without (from an older core) by the keyword rules.
bool matchesPreset(const BridgeEvent& event, MessageListPreset preset,
                   const std::optional<BridgeStateResponse>& state);

// Source values of the timeline's source control.
inline constexpr auto targetAll = "all";
inline constexpr auto targetWeChat = "wechat";
inline constexpr auto targetWeCom = "wecom";

// Text compared by the search: NFKC-normalised and case-folded, so that full-width and
// compatibility forms meet their plain forms ("ＡＢＣ" finds "abc").
QString searchKey(const QString& text);

// The words of a search query, cut at white space, each passed through searchKey; empty for a
// blank query.
QStringList searchKeys(const QString& query);

// True when every one of `keys` (from searchKeys) is contained in the key of the session name,
// the sender name or the display text, each word in any of the three. No keys match everything.
bool matchesSearch(const BridgeEvent& event, const QStringList& keys);

// The events to show, in the order of `events`: those of the source `targetFilter` ("all" keeps
// every event, otherwise the chat target must equal it exactly), matching `preset`, and, unless
// the query is blank, containing every word of the query in session name, sender name or display text.
QList<BridgeEvent> filteredEvents(const QList<BridgeEvent>& events,
                                  const std::optional<BridgeStateResponse>& state, MessageListPreset preset,
                                  const QString& targetFilter, const QString& searchQuery);

// Where the words of `query` occur in `text` under the search comparison, as (start, length)
// ranges of `text` in order, overlapping ones joined, for highlighting. Empty when the query is
// blank or none of its words occurs.
struct TextRange
{
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const TextRange&) const = default;
};
QList<TextRange> searchMatches(const QString& text, const QString& query);

} // namespace messagefilter
