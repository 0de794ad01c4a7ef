#include "ui/common/logic/WindowFit.h"

#include <algorithm>

namespace windowfit {

QSize boundedBy(QSize wanted, QSize available)
{
    return {std::max(1, std::min(wanted.width(), available.width())),
            std::max(1, std::min(wanted.height(), available.height()))};
}

std::optional<QRect> restoredGeometry(const Placement& saved, const QList<ScreenArea>& screens)
{
    if (!saved.geometry.isValid())
        return std::nullopt;
    for (const ScreenArea& screen : screens) {
        if (screen.name != saved.screen || !screen.available.contains(saved.geometry.center()))
            continue;
        QRect r(saved.geometry.topLeft(), boundedBy(saved.geometry.size(), screen.available.size()));
        r.moveLeft(std::clamp(r.left(), screen.available.left(), screen.available.right() + 1 - r.width()));
        r.moveTop(std::clamp(r.top(), screen.available.top(), screen.available.bottom() + 1 - r.height()));
        return r;
    }
    return std::nullopt;
}

} // namespace windowfit
