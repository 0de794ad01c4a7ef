#pragma once

#include <QString>

// The text to hand to QRegularExpression. PCRE refuses a subject that is not valid UTF-16, and
// Qt then reports no match anywhere in it: one unpaired surrogate (an emoji cut in half by the
// sending app, say) would hide every match in a message. Each unpaired surrogate becomes
// U+FFFD, one unit for one, so match offsets still fit the original text. Without one the
// text itself is returned (shared, not copied).
QString regexSubject(const QString& text);
