#pragma once

#include <QColor>
#include <QWidget>

// Wrapped text cut after maxLines lines, the last shown line ending in "…" when text was
// left out. The full text stays available as the accessible name and the tooltip.
class ElidedLabel : public QWidget
{
    Q_OBJECT

public:
    ElidedLabel(const QString& text, int maxLines, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }
    void setTextColor(const QColor& color);
    int maxLines() const { return m_maxLines; }
    // The lines shown at `width` (for tests and for height).
    QStringList visibleLines(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_text;
    int m_maxLines;
    QColor m_color;
};
