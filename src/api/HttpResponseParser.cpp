#include "api/HttpResponseParser.h"

namespace {

const QByteArray httpPrefix = QByteArrayLiteral("HTTP/");

bool isDigits(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

QByteArray HttpResponseParser::header(const QByteArray& name) const
{
    for (const auto& [key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpResponseParser::State HttpResponseParser::feed(const QByteArray& bytes)
{
    if (m_state != State::NeedMore)
        return m_state; // finished or failed: later bytes do not matter
    m_buffer.append(bytes);
    m_state = step();
    return m_state;
}

HttpResponseParser::State HttpResponseParser::finish()
{
    if (m_state != State::NeedMore)
        return m_state;
    m_state = step();
    if (m_state != State::NeedMore)
        return m_state;
    if (m_phase == Phase::UntilClose || m_phase == Phase::ChunkTrailer) {
        // The end of the connection frames the body; a missing blank line after the
        // last chunk loses nothing.
        m_phase = Phase::Done;
        m_state = State::Complete;
    }
    return m_state;
}

HttpResponseParser::State HttpResponseParser::fail(State state)
{
    m_phase = Phase::Done;
    m_buffer.clear();
    return state;
}

bool HttpResponseParser::takeLine(QByteArray& line)
{
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0)
        return false;
    line = m_buffer.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    m_buffer.remove(0, end + 1);
    return true;
}

HttpResponseParser::State HttpResponseParser::step()
{
    for (;;) {
        switch (m_phase) {
        case Phase::StatusLine:
        case Phase::Headers: {
            if (m_phase == Phase::StatusLine) {
                // Recognise a foreign reply as soon as its first bytes are in, so a peer
                // that sends garbage and stays open is not mistaken for a slow one.
                const qsizetype n = std::min(m_buffer.size(), httpPrefix.size());
                if (m_buffer.left(n) != httpPrefix.left(n))
                    return fail(State::NotHttp);
            }
            QByteArray line;
            if (!takeLine(line)) {
                if (m_headerBytes + m_buffer.size() > maxHeaderBytes)
                    return fail(State::TooLarge);
                return State::NeedMore;
            }
            m_headerBytes += line.size() + 1;
            if (m_headerBytes > maxHeaderBytes)
                return fail(State::TooLarge);
            const State result = m_phase == Phase::StatusLine ? parseStatusLine(line) : parseHeaderLine(line);
            if (result != State::NeedMore)
                return result;
            break;
        }
        case Phase::FixedBody: {
            const qint64 take = std::min<qint64>(m_remaining, m_buffer.size());
            m_body.append(m_buffer.left(take));
            m_buffer.remove(0, take);
            m_remaining -= take;
            if (m_remaining > 0)
                return State::NeedMore;
            m_phase = Phase::Done;
            break;
        }
        case Phase::ChunkSize: {
            QByteArray line;
            if (!takeLine(line)) {
                if (m_buffer.size() > 1024)
                    return fail(State::NotHttp);
                return State::NeedMore;
            }
            const qsizetype ext = line.indexOf(';');
            const QByteArray digits = (ext >= 0 ? line.left(ext) : line).trimmed();
            bool ok = false;
            const qint64 size = digits.isEmpty() || digits.size() > 15 ? -1 : digits.toLongLong(&ok, 16);
            if (!ok || size < 0)
                return fail(State::NotHttp);
            if (m_body.size() + size > maxBodyBytes)
                return fail(State::TooLarge);
            m_remaining = size;
            m_phase = size == 0 ? Phase::ChunkTrailer : Phase::ChunkData;
            break;
        }
        case Phase::ChunkData: {
            // The chunk's bytes followed by its line break, judged as soon as its bytes are in:
            // anything else after a chunk would otherwise pile up while waiting for a line feed.
            if (m_buffer.size() <= m_remaining)
                return State::NeedMore;
            qsizetype lineBreak = m_remaining;
            if (m_buffer.at(lineBreak) == '\r') {
                if (m_buffer.size() <= ++lineBreak)
                    return State::NeedMore;
            }
            if (m_buffer.at(lineBreak) != '\n')
                return fail(State::NotHttp);
            m_body.append(m_buffer.left(m_remaining));
            m_buffer.remove(0, lineBreak + 1);
            m_remaining = 0;
            m_phase = Phase::ChunkSize;
            break;
        }
        case Phase::ChunkTrailer: {
            // Trailer lines count against the same limit as the headers.
            QByteArray line;
            if (!takeLine(line)) {
                if (m_headerBytes + m_buffer.size() > maxHeaderBytes)
                    return fail(State::TooLarge);
                return State::NeedMore;
            }
            m_headerBytes += line.size() + 1;
            if (m_headerBytes > maxHeaderBytes)
                return fail(State::TooLarge);
            if (line.isEmpty())
                m_phase = Phase::Done;
            break;
        }
        case Phase::UntilClose:
            m_body.append(m_buffer);
            m_buffer.clear();
            if (m_body.size() > maxBodyBytes)
                return fail(State::TooLarge);
            return State::NeedMore;
        case Phase::Done:
            return State::Complete;
        }
    }
}

HttpResponseParser::State HttpResponseParser::parseStatusLine(const QByteArray& line)
{
    // HTTP/1.x SP 3DIGIT [SP reason]
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() < 2 || !parts[0].startsWith(httpPrefix) || parts[0].size() != 8 ||
        parts[1].size() != 3 || !isDigits(parts[1]))
        return fail(State::NotHttp);
    m_status = parts[1].toInt();
    if (m_status < 100)
        return fail(State::NotHttp);
    const qsizetype reasonStart = parts[0].size() + 1 + parts[1].size() + 1;
    m_reason = reasonStart < line.size() ? line.mid(reasonStart) : QByteArray();
    m_headers.clear();
    m_phase = Phase::Headers;
    return State::NeedMore;
}

HttpResponseParser::State HttpResponseParser::parseHeaderLine(const QByteArray& line)
{
    if (line.isEmpty())
        return startBody();
    if (line.front() == ' ' || line.front() == '\t') {
        // Obsolete line folding continues the previous value.
        if (m_headers.isEmpty())
            return fail(State::NotHttp);
        m_headers.last().second.append(' ').append(line.trimmed());
        return State::NeedMore;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return fail(State::NotHttp);
    m_headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    return State::NeedMore;
}

HttpResponseParser::State HttpResponseParser::startBody()
{
    if (m_status >= 100 && m_status < 200 && m_status != 101) {
        // Interim reply (100 Continue and the like): the real one follows.
        m_status = 0;
        m_reason.clear();
        m_headers.clear();
        m_phase = Phase::StatusLine;
        return State::NeedMore;
    }
    if (m_bodyless || m_status == 101 || m_status == 204 || m_status == 304) {
        m_phase = Phase::Done;
        return State::NeedMore;
    }
    const QByteArray transferEncoding = header("Transfer-Encoding").toLower();
    if (!transferEncoding.isEmpty()) {
        if (!transferEncoding.endsWith("chunked"))
            m_phase = Phase::UntilClose;
        else
            m_phase = Phase::ChunkSize;
        return State::NeedMore;
    }
    QByteArray length;
    for (const auto& [key, value] : m_headers) {
        if (key.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        if (!isDigits(value) || value.size() > 15 || (!length.isEmpty() && length != value))
            return fail(State::NotHttp);
        length = value;
    }
    if (length.isEmpty()) {
        m_phase = Phase::UntilClose;
        return State::NeedMore;
    }
    m_remaining = length.toLongLong();
    if (m_remaining > maxBodyBytes)
        return fail(State::TooLarge);
    m_phase = m_remaining == 0 ? Phase::Done : Phase::FixedBody;
    return State::NeedMore;
}
