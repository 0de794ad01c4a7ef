#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// Base of razo's custom buttons: no hover reaction; the pressed state animates in and out
// with an ease-out curve and scales the button around its centre. Subclasses paint in
// paintButton() with the current pressed progress (0 = rest, 1 = fully pressed).
class PressableButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit PressableButton(QWidget* parent = nullptr);

    // Scale while fully pressed (1 = none) and the duration of the pressed animation.
    void setPressedScale(qreal scale) { m_pressedScale = scale; }
    void setPressAnimationMs(int ms);
    qreal pressedProgress() const { return m_progress; }
    // Corner radius of the focus ring drawn on keyboard focus (-1: half the height).
    void setFocusRadius(qreal radius) { m_focusRadius = radius; }
    // Whether the focus ring shows (the button has focus that came from the keyboard).
    bool showsFocusRing() const { return m_keyboardFocus && hasFocus(); }

protected:
    virtual void paintButton(QPainter& p, qreal pressed) = 0;
    void paintEvent(QPaintEvent*) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool focusNextPrevChild(bool next) override;

private:
    void animateTo(qreal target);

    QVariantAnimation* m_anim;
    qreal m_progress = 0;
    qreal m_pressedScale = 0.97;
    qreal m_focusRadius = -1;
    bool m_keyboardFocus = false;
};
