#pragma once

#include <QAbstractButton>

class QHBoxLayout;

// The header of a disclosure group: a chevron that points right when collapsed and down
// when expanded, followed by any label widget. Checkable: checked = expanded. The whole
// row is the hit area; Space toggles it from the keyboard.
class DisclosureButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit DisclosureButton(QWidget* label, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    QHBoxLayout* m_row;
};
