#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// Incremental reader of one HTTP/1.x reply as it arrives on a socket. Feed it every
// chunk of bytes; it reports when the reply is complete (body framed by Content-Length,
// by chunked transfer encoding, or by the end of the connection) and whether the bytes
// are an HTTP reply at all. Interim 1xx replies are skipped. Pure: no I/O, no Qt objects.
class HttpResponseParser
{
public:
    enum class State {
        NeedMore, // keep reading
        Complete, // status, headers and body are all there
        NotHttp,  // the bytes are not an HTTP/1.x reply (or its framing is broken)
        TooLarge, // the reply exceeds the size limits below
    };

    static constexpr qsizetype maxHeaderBytes = 64 * 1024;
    static constexpr qsizetype maxBodyBytes = 256 * 1024 * 1024;

    // `bodyless` is true for replies that never carry a body (a HEAD request).
    explicit HttpResponseParser(bool bodyless = false) : m_bodyless(bodyless) {}

    State feed(const QByteArray& bytes);
    // The peer closed the connection. A reply framed by the end of the connection is
    // complete now; anything else still incomplete stays NeedMore (a lost connection).
    State finish();

    State state() const { return m_state; }
    bool hasStatusLine() const { return m_status > 0; }
    int status() const { return m_status; }
    const QByteArray& reason() const { return m_reason; }
    const QList<QPair<QByteArray, QByteArray>>& headers() const { return m_headers; }
    // First value of a header, name compared case-insensitively; empty when absent.
    QByteArray header(const QByteArray& name) const;
    const QByteArray& body() const { return m_body; }

private:
    enum class Phase { StatusLine, Headers, FixedBody, ChunkSize, ChunkData, ChunkTrailer, UntilClose, Done };

    State step();
    bool takeLine(QByteArray& line);
    State parseStatusLine(const QByteArray& line);
    State parseHeaderLine(const QByteArray& line);
    State startBody();
    State fail(State state);

    bool m_bodyless = false;
    State m_state = State::NeedMore;
    Phase m_phase = Phase::StatusLine;
    QByteArray m_buffer;
    qsizetype m_headerBytes = 0;
    int m_status = 0;
    QByteArray m_reason;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_body;
    qint64 m_remaining = 0;
};
