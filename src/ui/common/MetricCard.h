#pragma once

#include <QWidget>

class QLabel;

// A small tile: title (caption semibold, secondary), value (title3 bold), subtitle (caption,
// secondary), on subtleBackground in a rounded rectangle of radius 18 outlined with softBorder.
class MetricCard : public QWidget
{
    Q_OBJECT

public:
    MetricCard(const QString& title, const QString& value, const QString& subtitle,
               QWidget* parent = nullptr);

    void set(const QString& title, const QString& value, const QString& subtitle);
    QString title() const;
    QString value() const;
    QString subtitle() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QLabel* m_title;
    QLabel* m_value;
    QLabel* m_subtitle;
};
