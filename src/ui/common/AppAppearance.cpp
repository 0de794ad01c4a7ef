#include "ui/common/AppAppearance.h"

#include "ui/common/AppStyle.h"
#include "ui/common/AppTheme.h"
#include "ui/common/BrandMark.h"

#include <QApplication>
#include <QPalette>

namespace appearance {

void apply(QApplication& app)
{
    using namespace AppTheme;
    // Fusion draws the few stock controls (scroll bars, text fields) the same everywhere
    // and takes the light palette below instead of a dark system theme.
    app.setStyle(new AppStyle);

    QPalette pal;
    pal.setColor(QPalette::Window, windowBackground());
    pal.setColor(QPalette::WindowText, ink());
    pal.setColor(QPalette::Base, controlBackground());
    pal.setColor(QPalette::AlternateBase, subtleBackground());
    pal.setColor(QPalette::Text, ink());
    pal.setColor(QPalette::PlaceholderText, tertiaryText());
    pal.setColor(QPalette::Button, controlBackground());
    pal.setColor(QPalette::ButtonText, ink());
    pal.setColor(QPalette::BrightText, rgb(1, 1, 1));
    pal.setColor(QPalette::Highlight, withOpacity(primaryAccent(), 0.85));
    pal.setColor(QPalette::HighlightedText, rgb(1, 1, 1));
    pal.setColor(QPalette::ToolTipBase, rgb(1, 1, 1));
    pal.setColor(QPalette::ToolTipText, ink());
    pal.setColor(QPalette::Link, primaryAccent());
    pal.setColor(QPalette::Light, rgb(1, 1, 1));
    pal.setColor(QPalette::Midlight, rgb(0.93, 0.94, 0.96));
    pal.setColor(QPalette::Mid, rgb(0.80, 0.83, 0.88));
    pal.setColor(QPalette::Dark, rgb(0.62, 0.66, 0.72));
    pal.setColor(QPalette::Shadow, rgb(0, 0, 0, 0.3));
    pal.setColor(QPalette::Disabled, QPalette::Text, tertiaryText());
    pal.setColor(QPalette::Disabled, QPalette::WindowText, tertiaryText());
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, tertiaryText());
    app.setPalette(pal);

    app.setFont(font(TextStyle::Callout));
    app.setWindowIcon(BrandMark::appIcon());
}

} // namespace appearance
