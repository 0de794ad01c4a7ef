#include "model/ExactInteger.h"

#include <charconv>
#include <string>

namespace {

constexpr long long kExponentCap = 1'000'000; // far beyond anything that could still fit

} // namespace

bool exactInteger(std::string_view token, qint64& out)
{
    const char* const end = token.data() + token.size();
    if (token.find_first_of(".eE") == std::string_view::npos) {
        // Plain integer literal: the common case.
        long long value = 0;
        const auto [stop, ec] = std::from_chars(token.data(), end, value);
        if (ec != std::errc() || stop != end)
            return false;
        out = value;
        return true;
    }

    // Decimal or exponent notation: value = digits * 10^exponent, done on the digits.
    const bool negative = !token.empty() && token.front() == '-';
    std::string digits;
    long long exponent = 0;
    size_t i = negative ? 1 : 0;
    bool fraction = false;
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
        const char* first = token.data() + i + 1;
        if (*first == '+')
            ++first;
        long long written = 0;
        const auto [stop, ec] = std::from_chars(first, end, written);
        if (ec == std::errc::result_out_of_range)
            written = *first == '-' ? -kExponentCap : kExponentCap;
        else if (ec != std::errc() || stop != end)
            return false;
        exponent += qBound(-kExponentCap, written, kExponentCap);
    }

    const size_t lead = digits.find_first_not_of('0');
    if (lead == std::string::npos) { // all zeros, whatever the exponent
        out = 0;
        return true;
    }
    digits.erase(0, lead);
    while (digits.back() == '0') {
        digits.pop_back();
        ++exponent;
    }
    if (exponent < 0 || qsizetype(digits.size()) + exponent > 19)
        return false; // a fraction remains, or more than 19 digits
    digits.append(size_t(exponent), '0');
    if (negative)
        digits.insert(digits.begin(), '-');
    long long value = 0;
    const auto [stop, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || stop != digits.data() + digits.size())
        return false;
    out = value;
    return true;
}
