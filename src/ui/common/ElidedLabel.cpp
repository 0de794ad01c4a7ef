#include "ui/common/ElidedLabel.h"

#include "ui/common/AccessibleText.h"

#include "ui/common/AppTheme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

ElidedLabel::ElidedLabel(const QString& text, int maxLines, QWidget* parent)
    : QWidget(parent), m_maxLines(std::max(1, maxLines)), m_color(AppTheme::secondaryText())
{
    setObjectName(QStringLiteral("elidedLabel"));
    accessibility::installFactory();
    QSizePolicy sp(QSizePolicy::Preferred, QSizePolicy::Preferred);
    sp.setHeightForWidth(true);
    setSizePolicy(sp);
    setText(text);
}

void ElidedLabel::setText(const QString& text)
{
    m_text = text;
    setAccessibleName(text);
    setToolTip(text);
    updateGeometry();
    update();
}

void ElidedLabel::setTextColor(const QColor& color)
{
    m_color = color;
    update();
}

QStringList ElidedLabel::visibleLines(int width) const
{
    QStringList out;
    if (m_text.isEmpty() || width <= 0)
        return out;
    const QFontMetrics fm(font());
    QString flat = m_text;
    flat.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(flat, font());
    QTextOption opt;
    opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(opt);
    layout.beginLayout();
    int lines = 0;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        ++lines;
        const QString part = flat.mid(line.textStart(), line.textLength());
        if (lines == m_maxLines) {
            const QString rest = flat.mid(line.textStart());
            const bool more = line.textStart() + line.textLength() < flat.size();
            QString last = rest;
            last.replace(QChar::LineSeparator, QLatin1Char(' '));
            out << (more ? fm.elidedText(last, Qt::ElideRight, width) : part.trimmed());
            break;
        }
        QString shown = part;
        shown.remove(QChar::LineSeparator);
        out << shown;
    }
    layout.endLayout();
    return out;
}

int ElidedLabel::heightForWidth(int width) const
{
    const int n = std::max<qsizetype>(1, visibleLines(width).size());
    return n * QFontMetrics(font()).lineSpacing();
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    const int w = std::min(fm.horizontalAdvance(m_text), 240);
    return QSize(w, heightForWidth(std::max(w, 1)));
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, QFontMetrics(font()).lineSpacing());
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    p.setPen(m_color);
    const QFontMetrics fm(font());
    int y = 0;
    for (const QString& line : visibleLines(width())) {
        p.drawText(QRect(0, y, width(), fm.lineSpacing()), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += fm.lineSpacing();
    }
}
