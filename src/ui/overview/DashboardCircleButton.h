#pragma once

#include "ui/common/PressableButton.h"

#include <QColor>

class MiniSpinner;
class QVariantAnimation;

// A round icon button of the dashboard: the icon in `tint` inside a `size` circle on the card
// colour with a thin outline and a soft shadow; pressed, it turns accent blue and sinks.
// While busy it shows a spinner instead of the icon and stays clickable.
class DashboardCircleButton : public PressableButton
{
    Q_OBJECT

public:
    DashboardCircleButton(const QString& symbolName, int size, const QColor& tint, int iconSize,
                          QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    int diameter() const { return m_size; }
    QColor tint() const { return m_tint; }

    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }

    QSize sizeHint() const override { return QSize(m_size, m_size); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintButton(QPainter& p, qreal pressed) override;
    bool event(QEvent* e) override;

private:
    void applyShadow(qreal pressed);

    QString m_symbol;
    int m_size;
    QColor m_tint;
    int m_iconSize;
    bool m_busy = false;
    qreal m_shadowProgress = 0;
    MiniSpinner* m_spinner;
    QVariantAnimation* m_shadowAnim;
};
