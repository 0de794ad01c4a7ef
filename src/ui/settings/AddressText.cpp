#include "ui/settings/AddressText.h"

#include "ui/common/AppTheme.h"

#include <QFontMetricsF>
#include <QPalette>
#include <QTextLayout>

AddressText::AddressText(int maxLines, QWidget* parent) : QPlainTextEdit(parent), m_maxLines(maxLines)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setFont(AppTheme::monospaceFont());
    document()->setDocumentMargin(0);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, AppTheme::ink());
    setPalette(pal);
    viewport()->setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::ClickFocus);
    fitHeight();
}

void AddressText::setText(const QString& text)
{
    if (toPlainText() == text)
        return;
    setPlainText(text);
    setAccessibleName(text);
    fitHeight();
}

int AddressText::lineCountAt(int width) const
{
    QTextLayout layout(toPlainText(), font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    int lines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        ++lines;
    }
    layout.endLayout();
    return std::max(1, lines);
}

QSize AddressText::sizeHint() const
{
    return QSize(QFontMetrics(font()).horizontalAdvance(toPlainText()) + 8, height());
}

QSize AddressText::minimumSizeHint() const
{
    return QSize(80, height());
}

void AddressText::resizeEvent(QResizeEvent* e)
{
    QPlainTextEdit::resizeEvent(e);
    fitHeight();
}

void AddressText::fitHeight()
{
    const int lines = std::min(m_maxLines, lineCountAt(viewport()->width() - 4));
    const int h = int(std::ceil(QFontMetricsF(font()).lineSpacing() * lines)) + 4;
    if (h != height())
        setFixedHeight(h);
}
