#include "ui/settings/StatusTintColor.h"

#include "ui/common/AppTheme.h"

QColor statusTintColor(StatusTint tint)
{
    switch (tint) {
    case StatusTint::Green:
        return AppTheme::systemGreen();
    case StatusTint::Orange:
        return AppTheme::systemOrange();
    case StatusTint::Red:
        return AppTheme::systemRed();
    case StatusTint::Secondary:
        return AppTheme::secondaryText();
    }
    return AppTheme::secondaryText();
}
