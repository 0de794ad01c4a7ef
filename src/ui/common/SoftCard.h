#pragma once

#include "ui/common/AppTheme.h"

#include <QWidget>
#include <optional>

class QVBoxLayout;

// The shared card: content stacked vertically (no spacing between children) inside
// `padding` on every side, on cardBackground in a rounded rectangle of cornerRadius,
// outlined with border and lifted by a soft shadow that takes no layout space.
class SoftCard : public QWidget
{
    Q_OBJECT

public:
    SoftCard(qreal cornerRadius, int padding, QWidget* parent = nullptr);

    QVBoxLayout* contentLayout() const { return m_layout; }
    void addWidget(QWidget* w, int stretch = 0);

    qreal cornerRadius() const { return m_radius; }
    int padding() const { return m_padding; }
    void setFill(const QColor& fill);
    void setBorderColor(const QColor& border); // invalid colour: no outline
    void setShadow(std::optional<AppTheme::ShadowSpec> shadow);

protected:
    void paintEvent(QPaintEvent*) override;
    bool event(QEvent* e) override;

private:
    qreal m_radius;
    int m_padding;
    QColor m_fill;
    QColor m_border;
    std::optional<AppTheme::ShadowSpec> m_shadow;
    QVBoxLayout* m_layout;
};
