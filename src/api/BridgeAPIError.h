#pragma once

#include <QByteArray>
#include <QString>

// The client's one error type. `Http` is a reply outside 200..299 (status 0 when the
// reply was not HTTP at all); the transport kinds carry the English phrase that the
// store's joining rule looks for; `Decode` wraps a wire-model decoding failure.
class BridgeAPIError
{
public:
    enum class Kind {
        Http,           // status + body
        Refused,        // host could not be connected to (retried once)
        ConnectionLost, // connection dropped before a full reply (retried once)
        TimedOut,       // request or overall time-out (never retried)
        Transport,      // any other transport failure
        Decode,         // 2xx reply whose body does not decode
        Encode,         // request body could not be serialised
        Cancelled,      // abandoned by the caller before it finished (never retried)
        ForeignCore,    // the program on the port is not this account's: nothing was sent (never retried)
    };

    static BridgeAPIError http(int status, const QByteArray& body);
    static BridgeAPIError refused(const QString& detail = {});
    static BridgeAPIError connectionLost(const QString& detail = {});
    static BridgeAPIError timedOut(const QString& detail = {});
    static BridgeAPIError transport(const QString& detail);
    static BridgeAPIError decode(const QString& description);
    static BridgeAPIError encode(const QString& detail);
    static BridgeAPIError cancelled();
    static BridgeAPIError foreignCore(const QString& description);

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }
    const QString& body() const { return m_body; }
    // True for the two kinds the retry rule resends once.
    bool isRetryable() const { return m_kind == Kind::Refused || m_kind == Kind::ConnectionLost; }

    // The user-facing text, shown unchanged in lastError and toasts:
    //   Http:  "本地接口返回 HTTP 500：boom" or "本地接口返回 HTTP 404"; when the body is a JSON
    //          object with a non-blank text `message` (else `error`), that text stands for the
    //          body: {"ok":false,"error":"boom"} reads "本地接口返回 HTTP 500：boom"
    //   Refused: "无法连接本地核心 (Could not connect to the server.)"
    //   ConnectionLost: "与本地核心的连接中断 (The network connection was lost.)"
    //   TimedOut: "本地核心响应超时 (The request timed out.)"
    //   Decode: the decoder's own description
    //   Cancelled: "请求已取消"
    //   ForeignCore: the text of the check that refused the connection
    QString description() const;

private:
    Kind m_kind = Kind::Transport;
    int m_status = 0;
    QString m_body;
    QString m_detail;
};
