#include "model/DecodeContext.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

// True when the JSON number `token` is exactly -9223372036854775808, whatever its
// notation ("-9223372036854775808", "-9223372036854775808.0", "-9.223372036854775808e18").
bool isExactlyInt64Min(std::string_view token)
{
    if (token.empty() || token.front() != '-')
        return false;
    token.remove_prefix(1);
    std::string digits;
    long long exponent = 0;
    bool fraction = false;
    size_t i = 0;
    for (; i < token.size() && token[i] != 'e' && token[i] != 'E'; ++i) {
        if (token[i] == '.') {
            fraction = true;
            continue;
        }
        digits += token[i];
        if (fraction)
            --exponent;
    }
    if (i < token.size()) {
        long long written = 0;
        const char* first = token.data() + i + 1;
        if (first < token.data() + token.size() && *first == '+')
            ++first;
        const auto [end, ec] = std::from_chars(first, token.data() + token.size(), written);
        if (ec != std::errc() || end != token.data() + token.size())
            return false;
        exponent += written;
    }
    const size_t lead = digits.find_first_not_of('0');
    if (lead == std::string::npos)
        return false;
    digits.erase(0, lead);
    while (digits.back() == '0') {
        digits.pop_back();
        ++exponent;
    }
    return digits == "9223372036854775808" && exponent == 0;
}

} // namespace

bool DecodeContext::fail(DecodeError::Kind kind, QString expected)
{
    m_kind = kind;
    m_expected = std::move(expected);
    m_segments.clear();
    return false;
}

bool DecodeContext::failMissing(QString key)
{
    fail(DecodeError::Kind::MissingField, QStringLiteral("必填字段"));
    unwindKey(std::move(key));
    return false;
}

DecodeError DecodeContext::error() const
{
    QString path;
    for (auto it = m_segments.crbegin(); it != m_segments.crend(); ++it) {
        if (it->index) {
            path += QLatin1Char('[') + it->text + QLatin1Char(']');
        } else {
            if (!path.isEmpty())
                path += QLatin1Char('.');
            path += it->text;
        }
    }
    return DecodeError(m_kind, path, m_expected);
}

bool DecodeContext::trustsInt64Min()
{
    if (m_int64MinTrusted)
        return *m_int64MinTrusted;
    constexpr double minimum = double(std::numeric_limits<qint64>::min());
    const std::string_view body(m_body.data(), size_t(m_body.size()));
    bool trusted = true;
    for (size_t i = 0; i < body.size() && trusted; ++i) {
        const char c = body[i];
        if (c == '"') { // skip the string, escapes included
            for (++i; i < body.size() && body[i] != '"'; ++i)
                if (body[i] == '\\')
                    ++i;
            continue;
        }
        if (c != '-')
            continue; // only negative numbers can round to the minimum
        size_t end = i + 1;
        while (end < body.size() &&
               std::string_view("0123456789.eE+-").find(body[end]) != std::string_view::npos)
            ++end;
        const std::string_view token = body.substr(i, end - i);
        double value = 0;
        const auto [stop, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
        const bool roundsToMinimum = ec == std::errc() && value == minimum;
        if (roundsToMinimum && stop == token.data() + token.size() && !isExactlyInt64Min(token))
            trusted = false;
        i = end - 1;
    }
    m_int64MinTrusted = trusted;
    return trusted;
}
