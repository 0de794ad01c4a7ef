#include "ui/overview/DashboardIconButton.h"

#include "ui/common/AppTheme.h"

DashboardIconButton::DashboardIconButton(const QString& title, const QString& symbolName, QWidget* parent)
    : DashboardCircleButton(symbolName, 34, AppTheme::mutedInk(), 14, parent), m_title(title)
{
    setToolTip(title);
    setAccessibleName(title);
}
