#pragma once

#include "ui/common/SoftCard.h"

class QLabel;
class QVBoxLayout;

// The card of the settings section: a header row (a small brand-gradient dot and the title
// in title3 bold) above the content, 14 apart; radius 24, padding 20, the soft card look.
class SettingsCard : public SoftCard
{
    Q_OBJECT

public:
    explicit SettingsCard(const QString& title, QWidget* parent = nullptr);

    QString title() const;
    // Where the card's content goes (a column, leading-aligned, spacing 14).
    QVBoxLayout* body() const { return contentLayout(); }

private:
    QLabel* m_title;
};
