#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// An on/off switch with an optional text at its left; the knob slides when toggled.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToggleSwitch(const QString& text = QString(), QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    qreal knobPosition() const { return m_pos; }

protected:
    void paintEvent(QPaintEvent*) override;
    void checkStateSet() override;
    void nextCheckState() override;
    bool hitButton(const QPoint& pos) const override;

    static constexpr int kTrackW = 34;
    static constexpr int kTrackH = 20;
    static constexpr int kGap = 8;

private:
    void animateKnob();

    QVariantAnimation* m_anim;
    qreal m_pos = 0; // 0 = off, 1 = on
};
