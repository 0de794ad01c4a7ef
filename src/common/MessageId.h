#pragma once

#include <QStringView>

#include <optional>

// A message id as the core hands it out (razo --show-message, the single-instance hand-over):
// a positive decimal number, nothing around it. Anything else is no id.
std::optional<qint64> parseMessageId(QStringView text);
