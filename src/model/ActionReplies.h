#pragma once

#include <QString>
#include <optional>

// Replies to the user's actions. A reply is a refusal only when `ok` is present and
// false; an absent `ok` counts as success.

// Common reply of the simple actions (complete a task, open the configuration folder,
// push the context to the website bridge).
struct APIActionResponse
{
    std::optional<bool> ok;
    std::optional<QString> error;
    std::optional<QString> message;
    std::optional<QString> mobileUrl; // phone address after a website-bridge push

    bool operator==(const APIActionResponse&) const = default;
};

struct ChatResponse
{
    std::optional<QString> sessionId;
    std::optional<QString> message;
    std::optional<bool> ok;
    std::optional<QString> mode;
    std::optional<QString> model;
    std::optional<QString> error;

    bool operator==(const ChatResponse&) const = default;
};

struct AskResponse
{
    std::optional<QString> title;
    std::optional<QString> answer;
    std::optional<qint64> matchedCount;

    bool operator==(const AskResponse&) const = default;
};

struct NativeConfigSaveResponse
{
    std::optional<bool> ok;
    std::optional<QString> error;
    std::optional<QString> message;

    bool operator==(const NativeConfigSaveResponse&) const = default;
};

struct WeComScanResponse
{
    std::optional<bool> ok;
    std::optional<QString> error;
    std::optional<QString> message;
    std::optional<qint64> detected;
    std::optional<qint64> inserted;
    std::optional<qint64> candidateEvents;

    bool operator==(const WeComScanResponse&) const = default;
};
