#pragma once

#include "ui/common/AppTheme.h"

#include <QColor>
#include <QWidget>

// A symbol icon followed by one line of text, both in one colour (status lines, empty
// states). The text is the accessible name.
class IconLabel : public QWidget
{
    Q_OBJECT

public:
    IconLabel(const QString& symbolName, const QString& text, const QColor& color, const QFont& font,
              QWidget* parent = nullptr);

    void set(const QString& symbolName, const QString& text, const QColor& color);
    QString symbol() const { return m_symbol; }
    QString text() const { return m_text; }
    QColor color() const { return m_color; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int iconSize() const;

    QString m_symbol;
    QString m_text;
    QColor m_color;
};
