#pragma once

#include <QWidget>

class QVariantAnimation;

// The one-line toast over the bottom centre of its parent: a translucent capsule that
// springs in from the bottom edge while fading in, and leaves the same way. Follows the
// parent's size on its own.
class ToastView : public QWidget
{
    Q_OBJECT

public:
    explicit ToastView(QWidget* parent);

    // Shows `text`; an empty text sends the toast away (it keeps the old text while leaving).
    void setMessage(const QString& text);
    QString message() const { return m_text; }
    // 0 = out of view, 1 = in place (may overshoot a little during the spring).
    qreal progress() const { return m_progress; }
    bool isShowing() const { return m_target > 0; }

    QSize sizeHint() const override;
    // The spring of the toast (response 0.5 s, damping 0.85) as an easing curve over [0, 1].
    static QEasingCurve springCurve();
    static int springDurationMs();

protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reposition();
    void animateTo(qreal target);
    QSize capsuleSize() const;

    QString m_text;
    qreal m_progress = 0;
    qreal m_target = 0;
    QVariantAnimation* m_anim;
};
