#include "ui/overview/SuggestionRow.h"

#include "ui/common/AppTheme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

namespace {

constexpr int kBulletGap = 6;

} // namespace

SuggestionRow::SuggestionRow(QWidget* parent) : QWidget(parent)
{
    setFont(AppTheme::font(AppTheme::TextStyle::Callout));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void SuggestionRow::setText(const QString& text)
{
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

int SuggestionRow::bulletWidth() const
{
    return QFontMetrics(font()).horizontalAdvance(QStringLiteral("•")) + kBulletGap;
}

QStringList SuggestionRow::lines(int width) const
{
    const int textWidth = std::max(1, width - bulletWidth());
    QTextLayout layout(m_text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList out;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(textWidth);
        if (out.size() == kMaxLines - 1) {
            // The last allowed line takes the rest of the text, elided.
            const QString rest = m_text.mid(line.textStart());
            out.append(QFontMetrics(font()).elidedText(rest, Qt::ElideRight, textWidth));
            break;
        }
        out.append(m_text.mid(line.textStart(), line.textLength()));
    }
    layout.endLayout();
    if (out.isEmpty())
        out.append(QString());
    return out;
}

int SuggestionRow::heightForWidth(int width) const
{
    return int(lines(width).size()) * QFontMetrics(font()).lineSpacing();
}

QSize SuggestionRow::sizeHint() const
{
    const int w = std::min(240, bulletWidth() + QFontMetrics(font()).horizontalAdvance(m_text));
    return QSize(w, heightForWidth(w));
}

QSize SuggestionRow::minimumSizeHint() const
{
    return QSize(bulletWidth() + 20, QFontMetrics(font()).lineSpacing());
}

void SuggestionRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font());
    p.setPen(AppTheme::ink());
    const QFontMetrics fm(font());
    p.drawText(QPoint(0, fm.ascent()), QStringLiteral("•"));
    int y = fm.ascent();
    for (const QString& line : lines(width())) {
        p.drawText(QPoint(bulletWidth(), y), line.trimmed());
        y += fm.lineSpacing();
    }
}
