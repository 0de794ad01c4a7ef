#pragma once

#include "ui/overview/DashboardCircleButton.h"

// One of the three round buttons of the top bar: a 34-point circle with a 14-point icon in
// mutedInk; the title is its tooltip and accessible name.
class DashboardIconButton : public DashboardCircleButton
{
    Q_OBJECT

public:
    DashboardIconButton(const QString& title, const QString& symbolName, QWidget* parent = nullptr);

    QString title() const { return m_title; }

private:
    QString m_title;
};
