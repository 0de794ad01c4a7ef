#pragma once

#include "ui/common/ActionButton.h"

// The ordinary bordered button (toolbar actions, "复制", "同步到网站桥接"): card fill,
// thin outline, ink label; pressed it takes an accent tint.
class BorderedButton : public ActionButton
{
    Q_OBJECT

public:
    BorderedButton(const QString& text, const QString& symbolName = QString(), QWidget* parent = nullptr);

protected:
    Colours colours(qreal pressed) const override;
};
