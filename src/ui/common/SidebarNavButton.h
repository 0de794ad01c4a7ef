#pragma once

#include "store/AppSection.h"
#include "ui/common/PressableButton.h"

// One sidebar row: section icon and title; the selected row sits on a white rounded
// background with a soft shadow and shows its icon in primaryAccent.
class SidebarNavButton : public PressableButton
{
    Q_OBJECT

public:
    SidebarNavButton(AppSection section, QWidget* parent = nullptr);

    AppSection section() const { return m_section; }
    void setSelected(bool selected);
    bool isSelected() const { return isChecked(); }

    QSize sizeHint() const override;

protected:
    void paintButton(QPainter& p, qreal pressed) override;
    bool event(QEvent* e) override;

private:
    void applyShadow();

    AppSection m_section;
};
