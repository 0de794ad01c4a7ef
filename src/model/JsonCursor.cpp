#include "model/JsonCursor.h"

#include <QStringDecoder>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Four hex digits at p (the caller has checked they are there and valid).
char16_t hex4(const char* p)
{
    return char16_t((hexValue(p[0]) << 12) | (hexValue(p[1]) << 8) | (hexValue(p[2]) << 4) | hexValue(p[3]));
}

// UTF-8 that the scanner has already validated, as text. Every character is kept:
// QString::fromUtf8 would drop a U+FEFF at the start of each run as a byte-order mark.
QString utf8Text(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

} // namespace

JsonCursor::JsonCursor(QByteArrayView text)
    : m_begin(text.data()), m_pos(text.data()), m_end(text.data() + text.size())
{
}

bool JsonCursor::fail(const char* reason)
{
    if (!m_failed) {
        m_failed = true;
        m_errorOffset = m_pos - m_begin;
        m_errorReason = reason;
    }
    return false;
}

JsonCursor::Step JsonCursor::failStep(const char* reason)
{
    fail(reason);
    return Step::Error;
}

void JsonCursor::skipSpace()
{
    while (m_pos < m_end && (*m_pos == ' ' || *m_pos == '\n' || *m_pos == '\r' || *m_pos == '\t'))
        ++m_pos;
}

JsonCursor::Kind JsonCursor::peek()
{
    if (m_failed)
        return Kind::Invalid;
    skipSpace();
    if (m_pos == m_end)
        return Kind::Invalid;
    switch (*m_pos) {
    case '{':
        return Kind::Object;
    case '[':
        return Kind::Array;
    case '"':
        return Kind::String;
    case 't':
    case 'f':
        return Kind::Bool;
    case 'n':
        return Kind::Null;
    case '-':
        return Kind::Number;
    default:
        return isDigit(*m_pos) ? Kind::Number : Kind::Invalid;
    }
}

bool JsonCursor::beginObject()
{
    if (peek() != Kind::Object)
        return fail("应为对象");
    if (++m_depth > kMaxDepth)
        return fail("嵌套过深");
    ++m_pos;
    return true;
}

JsonCursor::Step JsonCursor::nextMember(bool first)
{
    if (m_failed)
        return Step::Error;
    skipSpace();
    if (m_pos < m_end && *m_pos == '}') { // closes an empty object, or follows a value
        ++m_pos;
        --m_depth;
        return Step::End;
    }
    if (!first) {
        if (m_pos == m_end || *m_pos != ',')
            return failStep("应为逗号或右花括号");
        ++m_pos;
        skipSpace();
    }
    if (m_pos == m_end || *m_pos != '"')
        return failStep("应为键名");
    if (!scanString(m_key, m_keyEscaped))
        return Step::Error;
    skipSpace();
    if (m_pos == m_end || *m_pos != ':')
        return failStep("应为冒号");
    ++m_pos;
    return Step::Item;
}

QString JsonCursor::keyText() const
{
    return decode(m_key, m_keyEscaped);
}

bool JsonCursor::beginArray()
{
    if (peek() != Kind::Array)
        return fail("应为数组");
    if (++m_depth > kMaxDepth)
        return fail("嵌套过深");
    ++m_pos;
    return true;
}

JsonCursor::Step JsonCursor::nextElement(bool first)
{
    if (m_failed)
        return Step::Error;
    skipSpace();
    if (m_pos < m_end && *m_pos == ']') {
        ++m_pos;
        --m_depth;
        return Step::End;
    }
    if (!first) {
        if (m_pos == m_end || *m_pos != ',')
            return failStep("应为逗号或右方括号");
        ++m_pos;
        skipSpace();
        if (m_pos < m_end && *m_pos == ']')
            return failStep("多余的逗号");
    }
    return Step::Item;
}

bool JsonCursor::scanUtf8()
{
    const auto byte = [this](qsizetype i) { return static_cast<unsigned char>(m_pos[i]); };
    const unsigned char lead = byte(0);
    int length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return fail("无效的 UTF-8 编码");
    }
    if (m_end - m_pos < length || byte(1) < low || byte(1) > high)
        return fail("无效的 UTF-8 编码");
    for (int i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return fail("无效的 UTF-8 编码");
    m_pos += length;
    return true;
}

bool JsonCursor::scanString(QByteArrayView& raw, bool& escaped)
{
    ++m_pos; // opening quote
    const char* start = m_pos;
    escaped = false;
    while (m_pos < m_end) {
        const unsigned char c = static_cast<unsigned char>(*m_pos);
        if (c == '"') {
            raw = QByteArrayView(start, m_pos - start);
            ++m_pos;
            return true;
        }
        if (c < 0x20)
            return fail("字符串中有未转义的控制字符");
        if (c >= 0x80) {
            if (!scanUtf8())
                return false;
            continue;
        }
        if (c == '\\') {
            escaped = true;
            if (m_end - m_pos < 2)
                break;
            switch (m_pos[1]) {
            case '"':
            case '\\':
            case '/':
            case 'b':
            case 'f':
            case 'n':
            case 'r':
            case 't':
                m_pos += 2;
                continue;
            case 'u':
                if (m_end - m_pos < 6)
                    break;
                for (int i = 2; i < 6; ++i)
                    if (hexValue(m_pos[i]) < 0)
                        return fail("无效的 \\u 转义");
                m_pos += 6;
                continue;
            default:
                return fail("无效的转义字符");
            }
            break;
        }
        ++m_pos;
    }
    m_pos = m_end;
    return fail("字符串没有结束");
}

QString JsonCursor::decode(QByteArrayView raw, bool escaped)
{
    if (!escaped)
        return utf8Text(raw);
    QString out;
    out.reserve(raw.size());
    const char* p = raw.data();
    const char* const end = p + raw.size();
    while (p < end) {
        const char* run = p;
        while (p < end && *p != '\\')
            ++p;
        if (p > run)
            out += utf8Text(QByteArrayView(run, p - run));
        if (p == end)
            break;
        const char e = p[1];
        p += 2;
        switch (e) {
        case 'b':
            out += QChar(u'\b');
            break;
        case 'f':
            out += QChar(u'\f');
            break;
        case 'n':
            out += QChar(u'\n');
            break;
        case 'r':
            out += QChar(u'\r');
            break;
        case 't':
            out += QChar(u'\t');
            break;
        case 'u':
            // surrogate pairs arrive as two escapes and join up in UTF-16 by themselves
            out += QChar(hex4(p));
            p += 4;
            break;
        default: // '"', '\\', '/'
            out += QLatin1Char(e);
            break;
        }
    }
    return out;
}

bool JsonCursor::readString(QString& out)
{
    if (peek() != Kind::String)
        return fail("应为字符串");
    QByteArrayView raw;
    bool escaped = false;
    if (!scanString(raw, escaped))
        return false;
    out = decode(raw, escaped);
    return true;
}

bool JsonCursor::scanLiteral(std::string_view word)
{
    if (m_end - m_pos < qsizetype(word.size()) || std::string_view(m_pos, word.size()) != word)
        return fail("无效的字面量");
    m_pos += word.size();
    return true;
}

bool JsonCursor::readBool(bool& out)
{
    if (peek() != Kind::Bool)
        return fail("应为 true 或 false");
    out = *m_pos == 't';
    return scanLiteral(out ? "true" : "false");
}

bool JsonCursor::readNull()
{
    if (peek() != Kind::Null)
        return fail("应为 null");
    return scanLiteral("null");
}

bool JsonCursor::scanNumber(std::string_view& token)
{
    const char* start = m_pos;
    if (m_pos < m_end && *m_pos == '-')
        ++m_pos;
    if (m_pos == m_end || !isDigit(*m_pos))
        return fail("数字格式错误");
    if (*m_pos == '0')
        ++m_pos; // no leading zeros
    else
        while (m_pos < m_end && isDigit(*m_pos))
            ++m_pos;
    if (m_pos < m_end && *m_pos == '.') {
        ++m_pos;
        if (m_pos == m_end || !isDigit(*m_pos))
            return fail("数字格式错误");
        while (m_pos < m_end && isDigit(*m_pos))
            ++m_pos;
    }
    if (m_pos < m_end && (*m_pos == 'e' || *m_pos == 'E')) {
        ++m_pos;
        if (m_pos < m_end && (*m_pos == '+' || *m_pos == '-'))
            ++m_pos;
        if (m_pos == m_end || !isDigit(*m_pos))
            return fail("数字格式错误");
        while (m_pos < m_end && isDigit(*m_pos))
            ++m_pos;
    }
    token = std::string_view(start, size_t(m_pos - start));
    return true;
}

bool JsonCursor::readNumber(std::string_view& token)
{
    if (peek() != Kind::Number)
        return fail("应为数字");
    return scanNumber(token);
}

bool JsonCursor::skipValue()
{
    switch (peek()) {
    case Kind::Object: {
        if (!beginObject())
            return false;
        for (bool first = true;; first = false) {
            const Step step = nextMember(first);
            if (step == Step::End)
                return true;
            if (step == Step::Error || !skipValue())
                return false;
        }
    }
    case Kind::Array: {
        if (!beginArray())
            return false;
        for (bool first = true;; first = false) {
            const Step step = nextElement(first);
            if (step == Step::End)
                return true;
            if (step == Step::Error || !skipValue())
                return false;
        }
    }
    case Kind::String: {
        QByteArrayView raw;
        bool escaped = false;
        return scanString(raw, escaped);
    }
    case Kind::Number: {
        std::string_view token;
        return scanNumber(token);
    }
    case Kind::Bool: {
        bool value = false;
        return readBool(value);
    }
    case Kind::Null:
        return readNull();
    case Kind::Invalid:
        break;
    }
    return fail(m_pos == m_end ? "内容不完整" : "意外的字符");
}

bool JsonCursor::finish()
{
    if (m_failed)
        return false;
    skipSpace();
    return m_pos == m_end || fail("文档结束后还有多余的内容");
}
