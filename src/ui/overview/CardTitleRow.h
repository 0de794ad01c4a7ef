#pragma once

#include "ui/common/PressableButton.h"

#include <QColor>

// The heading row of a dashboard card: a tinted dot, the title, the count and, when the row
// has an action, a chevron. With an action the whole row is a button ("查看" + title) whose
// pressed look is a faint tint behind it; without one it is plain content.
class CardTitleRow : public PressableButton
{
    Q_OBJECT

public:
    CardTitleRow(const QString& title, const QColor& tint, bool hasAction, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    int count() const { return m_count; }
    void setCount(int count);
    bool hasAction() const { return m_hasAction; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintButton(QPainter& p, qreal pressed) override;

private:
    QString m_title;
    QColor m_tint;
    bool m_hasAction;
    int m_count = 0;
};
