#pragma once

#include <QtGlobal>
#include <string_view>

// The value of a JSON number token (as the grammar allows it) when that value is a whole
// number within 64 bits, computed exactly from the decimal text: "12", "-0", "1.0",
// "2e3" and "-9.223372036854775808e18" qualify; "1.5", "1e19" and
// "9223372036854775808" do not. No detour through double, so no rounding.
bool exactInteger(std::string_view token, qint64& out);
