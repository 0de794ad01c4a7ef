#pragma once

#include "ui/common/ActionButton.h"

// The filled accent button of a page's main action ("发送", "保存全部设置", "立即读取企微消息").
class ProminentButton : public ActionButton
{
    Q_OBJECT

public:
    ProminentButton(const QString& text, const QString& symbolName = QString(), QWidget* parent = nullptr);

protected:
    Colours colours(qreal pressed) const override;
};
