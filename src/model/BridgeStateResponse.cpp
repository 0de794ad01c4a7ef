#include "model/BridgeStateResponse.h"

size_t qHash(const AllowlistSnapshot& entry, size_t seed) noexcept
{
    // Absent and present-but-empty must hash apart from each other as they compare apart.
    const int enabled = entry.enabled.has_value() ? (*entry.enabled ? 2 : 1) : 0;
    return qHashMulti(seed, entry.name.has_value(), entry.name.value_or(QString()), entry.kind.has_value(),
                      entry.kind.value_or(QString()), enabled);
}

QString NamedCount::identity() const
{
    return name + QLatin1Char('-') + QString::number(count);
}

QString HighlightSnapshot::identity() const
{
    const QLatin1Char dash('-');
    return chatTarget.value_or(QString()) + dash + sessionName.value_or(QString()) + dash +
           senderName.value_or(QString()) + dash + sentAt.value_or(QString()) + dash +
           content.value_or(QString());
}
