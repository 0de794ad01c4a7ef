#include "ui/overview/ProfilePromptButton.h"

#include "ui/common/AppTheme.h"
#include "ui/common/SymbolIcons.h"
#include "ui/overview/logic/ProfilePrompt.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>

namespace {

constexpr int kHeight = 40;
constexpr int kPadH = 14;
constexpr int kIcon = 16;
constexpr int kGap = 10;
constexpr qreal kRadius = 12;

} // namespace

ProfilePromptButton::ProfilePromptButton(QWidget* parent) : PressableButton(parent)
{
    setObjectName(QStringLiteral("profilePrompt"));
    setText(profileprompt::text());
    setAccessibleName(profileprompt::text());
    setAccessibleDescription(QStringLiteral("打开设置中的个人识别"));
    setToolTip(QStringLiteral("打开设置中的个人识别"));
    setFont(AppTheme::font(AppTheme::TextStyle::Callout, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setPressedScale(0.99);
    setFocusRadius(kRadius);
}

QSize ProfilePromptButton::sizeHint() const
{
    const QFontMetrics fm(font());
    return {2 * kPadH + 2 * (kIcon + kGap) + fm.horizontalAdvance(text()), kHeight};
}

QSize ProfilePromptButton::minimumSizeHint() const
{
    return {2 * kPadH + 2 * (kIcon + kGap), kHeight};
}

void ProfilePromptButton::paintButton(QPainter& p, qreal pressed)
{
    using namespace AppTheme;
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(withOpacity(warningAccent(), 0.35 + 0.2 * pressed), 1));
    p.setBrush(withOpacity(warningAccent(), 0.10 + 0.08 * pressed));
    p.drawRoundedRect(r, kRadius, kRadius);
    const qreal iconY = (height() - kIcon) / 2.0;
    SymbolIcons::paint(p, QRectF(kPadH, iconY, kIcon, kIcon), QStringLiteral("exclamationmark.triangle.fill"),
                       warningAccent());
    SymbolIcons::paint(p, QRectF(width() - kPadH - kIcon, iconY, kIcon, kIcon),
                       QStringLiteral("chevron.right"), secondaryText());
    const int x = kPadH + kIcon + kGap;
    const int w = width() - 2 * x;
    p.setFont(font());
    p.setPen(ink());
    p.drawText(QRect(x, 0, w, height()), Qt::AlignVCenter | Qt::AlignLeft,
               QFontMetrics(font()).elidedText(text(), Qt::ElideRight, w));
}

void ProfilePromptButton::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        click();
        return;
    }
    PressableButton::keyPressEvent(e);
}
