#pragma once

#include <QProxyStyle>

// Fusion, with razo's own chevron on the menu bar's overflow button: the stock icon is a
// PNG, and decoding it loads every image format plugin while the window is being built.
class AppStyle : public QProxyStyle
{
public:
    AppStyle();
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
