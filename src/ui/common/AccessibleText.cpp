#include "ui/common/AccessibleText.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace accessibility {
namespace {

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    auto* w = qobject_cast<QWidget*>(object);
    if (!w)
        return nullptr;
    if (className == QLatin1String("IconLabel") || className == QLatin1String("ElidedLabel") ||
        className == QLatin1String("GradientLabel") || className == QLatin1String("StatusPill"))
        return new QAccessibleWidget(w, QAccessible::StaticText);
    if (className == QLatin1String("MetricCard"))
        return new QAccessibleWidget(w, QAccessible::Grouping);
    if (className == QLatin1String("SidebarFooterView"))
        return new QAccessibleWidget(w, QAccessible::StatusBar);
    return nullptr;
}

} // namespace

void installFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace accessibility
