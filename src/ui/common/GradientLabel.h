#pragma once

#include <QWidget>

// One line of text filled with brandGradient (page titles: system font 28 bold).
class GradientLabel : public QWidget
{
    Q_OBJECT

public:
    explicit GradientLabel(const QString& text, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_text;
};
