#pragma once

#include "ui/common/PressableButton.h"

#include <QColor>
#include <QFont>

// A one-line list row of a dashboard card, the whole row clickable: an optional leading
// column of fixed width, the main text (elided), and a trailing label at the right end, all
// on one text baseline. Pressed, a faint accent fills its rounded rectangle.
class DashboardRowButton : public PressableButton
{
    Q_OBJECT

public:
    struct Line
    {
        QString text;
        QFont font;
        QColor color;
    };

    explicit DashboardRowButton(QWidget* parent = nullptr);

    // Sets what the row shows; `leadingWidth` 0 means no leading column.
    void setContent(const Line& leading, int leadingWidth, const Line& main, const Line& trailing);

    QString leadingText() const { return m_leading.text; }
    QString mainText() const { return m_main.text; }
    QString trailingText() const { return m_trailing.text; }
    int leadingWidth() const { return m_leadingWidth; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintButton(QPainter& p, qreal pressed) override;

private:
    Line m_leading;
    int m_leadingWidth = 0;
    Line m_main;
    Line m_trailing;
};
