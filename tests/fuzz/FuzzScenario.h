#pragma once

#include "FuzzInput.h"
#include "model/BridgeEvent.h"
#include "model/BridgeStateResponse.h"

#include <array>

// Loaded messages and state snapshots made from fuzz bytes, as the derivations receive them
// after decoding (every field optional, texts arbitrary).
namespace fuzzscenario {

inline BridgeEvent readEvent(FuzzInput& in)
{
    static constexpr std::array<const char16_t*, 4> targets{u"wecom", u"wechat", u"WeCom", u""};
    BridgeEvent e;
    if (in.flag())
        e.eventId = in.integer();
    if (in.flag())
        e.chatTarget = in.oneOf(targets);
    e.sessionName = in.maybeText();
    e.senderName = in.maybeText();
    e.sentAt = in.maybeText();
    e.content = in.maybeText();
    if (in.byte() % 4 == 0) // voice messages: a transcript, often empty
        e.transcript = in.flag() ? QString() : in.text();
    return e;
}

inline QList<BridgeEvent> readEvents(FuzzInput& in)
{
    QList<BridgeEvent> events;
    const int n = in.upTo(160);
    for (int i = 0; i < n && !in.atEnd(); ++i) {
        if (!events.isEmpty() && in.byte() % 8 == 0)
            events.append(events.at(in.upTo(255) % events.size())); // repeats happen
        else
            events.append(readEvent(in));
    }
    return events;
}

// A highlight that is often one of the loaded messages, so that matches happen.
inline HighlightSnapshot readHighlight(FuzzInput& in, const QList<BridgeEvent>& events)
{
    HighlightSnapshot h;
    if (!events.isEmpty() && in.flag()) {
        const BridgeEvent& e = events.at(in.upTo(255) % events.size());
        h.chatTarget = e.chatTarget;
        h.sessionName = e.sessionName;
        h.senderName = e.senderName;
        h.sentAt = e.sentAt;
        h.content = in.flag() ? std::optional(e.displayContent()) : e.content;
        return h;
    }
    h.chatTarget = in.maybeText();
    h.sessionName = in.maybeText();
    h.senderName = in.maybeText();
    h.content = in.maybeText();
    return h;
}

inline std::optional<UserProfileSnapshot> readProfile(FuzzInput& in)
{
    if (in.byte() % 4 == 0)
        return std::nullopt;
    UserProfileSnapshot p;
    p.displayName = in.maybeText();
    p.aliases = in.maybeList();
    return p;
}

// The core's sorting of the messages and the digest's counts, read after everything else so that
// inputs written before they existed still mean what they meant (past the end: none of either).
inline void readSortings(FuzzInput& in, QList<BridgeEvent>& events, std::optional<BridgeStateResponse>& state)
{
    static constexpr std::array<const char16_t*, 4> dues{
        u"2026-12-07T18:00:00+08:00", u"2026-12-07T10:00:00Z", u"2026-12-08T09:00:00+08:00", u"明天"};
    for (BridgeEvent& e : events) {
        if (!in.flag())
            continue;
        const uint8_t b = in.byte(); // the flags a core requires, then the optional ones in turn
        e.sorting = EventSorting{bool(b & 1),    bool(b & 2),    bool(b & 4),    bool(b & 8), bool(b & 16),
                                 in.maybeFlag(), in.maybeFlag(), in.maybeFlag(), std::nullopt};
        if (in.flag())
            e.sorting->due = in.oneOf(dues);
    }
    if (state && state->summary && in.flag()) // a core never counts fewer than it lists, but razo must cope
        state->summary->counts =
            SummaryCounts{in.upTo(40) - 2, in.upTo(40), in.upTo(40), in.upTo(40), in.integer()};
}

inline std::optional<BridgeStateResponse> readState(FuzzInput& in, const QList<BridgeEvent>& events)
{
    if (in.byte() % 4 == 0)
        return std::nullopt;
    BridgeStateResponse state;
    if (in.byte() % 4 != 0) {
        SummarySnapshot s;
        if (in.flag())
            s.totalMessages = in.integer();
        if (in.byte() % 4 != 0) {
            s.highlights.emplace();
            const int n = in.upTo(12);
            for (int i = 0; i < n && !in.atEnd(); ++i)
                s.highlights->append(readHighlight(in, events));
        }
        s.actionItems = in.maybeList();
        s.followUps = in.maybeList();
        s.meetingItems = in.maybeList();
        state.summary = s;
    }
    if (in.byte() % 4 != 0) {
        state.config.emplace();
        state.config->userProfile = readProfile(in);
    }
    return state;
}

} // namespace fuzzscenario
