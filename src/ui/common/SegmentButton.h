#pragma once

#include "ui/common/PressableButton.h"

// One segment of a SegmentedControl: a checkable button that paints the white raised
// "selected" look when checked and plain text otherwise.
class SegmentButton : public PressableButton
{
    Q_OBJECT

public:
    SegmentButton(const QString& value, const QString& label, QWidget* parent = nullptr);

    QString value() const { return m_value; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintButton(QPainter& p, qreal pressed) override;

private:
    QString m_value;
};
