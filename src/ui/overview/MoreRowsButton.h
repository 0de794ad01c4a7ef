#pragma once

#include "ui/common/PressableButton.h"

// "更多 N 条" with an ellipsis on a small capsule: shown under a card's rows when some rows
// were left out; N is how many.
class MoreRowsButton : public PressableButton
{
    Q_OBJECT

public:
    explicit MoreRowsButton(QWidget* parent = nullptr);

    int count() const { return m_count; }
    void setCount(int count);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintButton(QPainter& p, qreal pressed) override;

private:
    int m_count = 0;
};
