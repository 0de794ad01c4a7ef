#include "ui/common/AppStyle.h"

#include "ui/common/AppTheme.h"
#include "ui/common/SymbolIcons.h"

#include <QStyleFactory>

AppStyle::AppStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

QIcon AppStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    if (icon == SP_ToolBarHorizontalExtensionButton)
        return SymbolIcons::icon(QStringLiteral("chevron.right"), AppTheme::secondaryText());
    return QProxyStyle::standardIcon(icon, option, widget);
}
