#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// How the core sorted one message; a current core sends it with every message, an older one
// sends none. When the record is present its first five flags are required. The core keeps
// the flags consistent: a suspicious message is neither a to-do, a follow-up, important nor a
// meeting.
struct EventSorting
{
    bool todo = false;     // asks something of the user
    bool followUp = false; // an open loop of the user's to come back to
    bool meeting = false;
    bool important = false;
    bool suspicious = false;      // looks like a scam or phishing
    std::optional<bool> mine;     // names or addresses the user; absent: false
    std::optional<bool> excluded; // holds an exclusion word and is not for the user; absent: false
    std::optional<bool> done;     // the user marked the to-do done; absent: false
    std::optional<QString> due;   // ISO 8601 with offset, when the sorting read a due time

    bool isMine() const { return mine.value_or(false); }
    bool isExcluded() const { return excluded.value_or(false); }
    bool isDone() const { return done.value_or(false); }

    // Shown anywhere but the plain list and the search: neither a scam nor excluded.
    bool isListed() const { return !suspicious && !isExcluded(); }
    bool isOpenTodo() const { return todo && !isDone() && isListed(); }
    bool isOpenFollowUp() const { return followUp && !isDone() && isListed(); }
    bool isOpenImportant() const { return important && !isDone() && isListed(); }
    bool isListedMeeting() const { return meeting && isListed(); }

    // The due time, when `due` is present and reads as an ISO 8601 date-time.
    std::optional<QDateTime> dueTime() const;

    bool operator==(const EventSorting&) const = default;
};
