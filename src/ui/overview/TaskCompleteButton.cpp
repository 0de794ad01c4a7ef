#include "ui/overview/TaskCompleteButton.h"

#include "ui/common/AppTheme.h"
#include "ui/common/MiniSpinner.h"
#include "ui/common/SymbolIcons.h"
#include "ui/overview/PressLook.h"

#include <QPainter>

namespace {

constexpr int kSize = 28;
constexpr qreal kRing = 18;
constexpr qreal kRingLine = 1.6;
constexpr int kSpinner = 14;
constexpr int kCheck = 9;

} // namespace

TaskCompleteButton::TaskCompleteButton(QWidget* parent)
    : PressableButton(parent), m_spinner(new MiniSpinner(this, kSpinner))
{
    setFixedSize(kSize, kSize);
    // Reached by Tab but not focused by a click: a click disables it, and a disabled focus
    // owner would hand the focus (and a focus ring) to the row next to it.
    setFocusPolicy(Qt::TabFocus);
    setPressedScale(0.88);
    setFocusRadius(kSize / 2.0);
    setToolTip(QStringLiteral("标记完成并从待办移除"));
    setAccessibleDescription(QStringLiteral("标记完成并从待办移除"));
    m_spinner->setColor(AppTheme::primaryAccent());
    m_spinner->move((kSize - kSpinner) / 2, (kSize - kSpinner) / 2);
    m_spinner->hide();
}

void TaskCompleteButton::setCompleting(bool completing)
{
    if (completing == m_completing)
        return;
    m_completing = completing;
    setEnabled(!completing);
    m_spinner->setVisible(completing);
    update();
}

void TaskCompleteButton::paintButton(QPainter& p, qreal t)
{
    using namespace AppTheme;
    const QRectF r(rect());
    if (t > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(presslook::fadeIn(withOpacity(primaryAccent(), 0.12), t));
        p.drawEllipse(r);
    }
    // The ring: 18 points, inset by half its line width so the stroke stays inside.
    const QRectF ring = QRectF(0, 0, kRing, kRing).translated(r.center() - QPointF(kRing / 2, kRing / 2));
    const qreal inset = kRingLine / 2;
    p.setBrush(Qt::NoBrush);
    p.setPen(
        QPen(m_completing ? withOpacity(primaryAccent(), 0.4) : withOpacity(mutedInk(), 0.45), kRingLine));
    p.drawEllipse(ring.adjusted(inset, inset, -inset, -inset));
    if (m_completing)
        return; // the spinner child draws itself
    const QRectF check =
        QRectF(0, 0, kCheck, kCheck).translated(r.center() - QPointF(kCheck / 2.0, kCheck / 2.0));
    SymbolIcons::paint(p, check, QStringLiteral("checkmark"), mutedInk());
}
