#pragma once

#include "ui/common/PressableButton.h"

// The overview's one-line prompt "设置你的姓名，razo 才能找出找你的消息": a tinted row with a
// warning icon and a chevron. Click, Space, Enter and the accessibility Press action all
// activate it (clicked()).
class ProfilePromptButton : public PressableButton
{
    Q_OBJECT

public:
    explicit ProfilePromptButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintButton(QPainter& p, qreal pressed) override;
    void keyPressEvent(QKeyEvent* e) override;
};
