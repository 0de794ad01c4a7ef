#pragma once

#include "ui/common/PressableButton.h"

class MiniSpinner;

// The round "done" button in front of a to-do: an open circle with a small checkmark; while
// the task is being completed, a spinner in a blue circle, and the button is disabled.
class TaskCompleteButton : public PressableButton
{
    Q_OBJECT

public:
    explicit TaskCompleteButton(QWidget* parent = nullptr);

    bool isCompleting() const { return m_completing; }
    void setCompleting(bool completing);

    QSize sizeHint() const override { return QSize(28, 28); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintButton(QPainter& p, qreal pressed) override;

private:
    bool m_completing = false;
    MiniSpinner* m_spinner;
};
