#include "ui/settings/DisclosureButton.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"
#include "ui/common/SymbolIcons.h"

#include <QHBoxLayout>
#include <QPainter>

namespace {

constexpr int kChevron = 12;
constexpr int kChevronBox = 18;

} // namespace

DisclosureButton::DisclosureButton(QWidget* label, QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(kChevronBox + 6, 2, 2, 2);
    label->setParent(this);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_row->addWidget(label, 1);
    connect(this, &QAbstractButton::toggled, this, [this] { update(); });
}

QSize DisclosureButton::sizeHint() const
{
    return m_row->sizeHint();
}

QSize DisclosureButton::minimumSizeHint() const
{
    return m_row->minimumSize();
}

void DisclosureButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, (height() - kChevronBox) / 2.0, kChevronBox, kChevronBox);
    p.save();
    p.translate(box.center());
    if (isChecked())
        p.rotate(90);
    const QRectF glyph(-kChevron / 2.0, -kChevron / 2.0, kChevron, kChevron);
    SymbolIcons::paint(p, glyph, QStringLiteral("chevron.right"), AppTheme::secondaryText());
    p.restore();
    if (hasFocus())
        painting::paintFocusRing(p, QRectF(rect()).adjusted(1, 1, -1, -1), 8);
}
