#pragma once

#include <QColor>
#include <QWidget>

class QTimer;

// A small activity spinner (twelve fading spokes), animating only while visible.
class MiniSpinner : public QWidget
{
    Q_OBJECT

public:
    explicit MiniSpinner(QWidget* parent = nullptr, int size = 16);

    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    int phase() const { return m_phase; }
    QSize sizeHint() const override { return QSize(m_size, m_size); }

    // Paints one frame of the spinner into rect; phase is the leading spoke (0..11).
    static void paintSpinner(QPainter& p, const QRectF& rect, int phase, const QColor& color);

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    int m_size;
    int m_phase = 0;
    QColor m_color;
    QTimer* m_timer;
};
