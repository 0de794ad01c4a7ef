#include "model/EventSorting.h"

std::optional<QDateTime> EventSorting::dueTime() const
{
    if (!due)
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(*due, Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    return time;
}
