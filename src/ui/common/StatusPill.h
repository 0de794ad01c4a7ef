#pragma once

#include <QColor>
#include <QWidget>

// A status label (icon + title) in subheadline semibold, coloured `tint`, on a capsule of
// tint at opacity 0.12.
class StatusPill : public QWidget
{
    Q_OBJECT

public:
    StatusPill(const QString& title, const QString& systemImage, const QColor& tint,
               QWidget* parent = nullptr);

    void set(const QString& title, const QString& systemImage, const QColor& tint);
    QString title() const { return m_title; }
    QString systemImage() const { return m_symbol; }
    QColor tint() const { return m_tint; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_title;
    QString m_symbol;
    QColor m_tint;
};
