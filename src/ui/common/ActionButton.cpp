#include "ui/common/ActionButton.h"

#include "ui/common/AppTheme.h"
#include "ui/common/MiniSpinner.h"
#include "ui/common/Painting.h"
#include "ui/common/SymbolIcons.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

ActionButton::ActionButton(const QString& text, const QString& symbolName, QWidget* parent)
    : PressableButton(parent), m_symbol(symbolName), m_spinner(new MiniSpinner(this, 14))
{
    setFont(AppTheme::font(AppTheme::TextStyle::Callout, QFont::DemiBold));
    setFocusRadius(AppTheme::Radius::button);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_spinner->hide();
    setLabel(text);
}

void ActionButton::setSymbol(const QString& symbolName)
{
    m_symbol = symbolName;
    updateGeometry();
    update();
}

void ActionButton::setLabel(const QString& text)
{
    setText(text);
    setAccessibleName(text);
    updateGeometry();
    update();
}

void ActionButton::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    m_spinner->setVisible(busy);
    update();
}

QSize ActionButton::sizeHint() const
{
    const QFontMetrics fm(font());
    int w = 2 * kPaddingH + fm.horizontalAdvance(text());
    if (!m_symbol.isEmpty())
        w += kIconSize + (text().isEmpty() ? 0 : kIconSpacing);
    return QSize(std::max(w, kHeight), kHeight);
}

void ActionButton::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::EnabledChange || e->type() == QEvent::FontChange)
        update();
    PressableButton::changeEvent(e);
}

void ActionButton::resizeEvent(QResizeEvent* e)
{
    m_spinner->move((width() - m_spinner->width()) / 2, (height() - m_spinner->height()) / 2);
    PressableButton::resizeEvent(e);
}

void ActionButton::paintButton(QPainter& p, qreal pressed)
{
    const Colours c = colours(pressed);
    painting::CardStyle card;
    card.rect = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    card.cornerRadius = AppTheme::Radius::button;
    card.fill = c.fill;
    card.border = c.border;
    painting::paintCard(p, card);
    m_spinner->setColor(c.label);
    if (m_busy)
        return;

    const QFontMetrics fm(font());
    const int textW = fm.horizontalAdvance(text());
    const bool hasIcon = !m_symbol.isEmpty();
    const int contentW = textW + (hasIcon ? kIconSize + (text().isEmpty() ? 0 : kIconSpacing) : 0);
    qreal x = (width() - contentW) / 2.0;
    if (hasIcon) {
        SymbolIcons::paint(p, QRectF(x, (height() - kIconSize) / 2.0, kIconSize, kIconSize), m_symbol,
                           c.label);
        x += kIconSize + kIconSpacing;
    }
    p.setFont(font());
    p.setPen(c.label);
    p.drawText(QRectF(x, 0, textW + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}
