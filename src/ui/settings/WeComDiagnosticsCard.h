#pragma once

#include "ui/settings/SettingsCard.h"

class BridgeStore;
class MetricCard;
class ProminentButton;
class QLabel;
class QVBoxLayout;
class StatusPill;

// "企业微信读取诊断": the verdict pill, headline and message, the button that reads WeCom now,
// the three source tiles and the advice. Hidden (taking no space) while the state carries
// no WeCom diagnostics; redrawn on every new state.
class WeComDiagnosticsCard : public SettingsCard
{
    Q_OBJECT

public:
    explicit WeComDiagnosticsCard(BridgeStore& store, QWidget* parent = nullptr);

    StatusPill* verdictPill() const { return m_pill; }
    ProminentButton* scanButton() const { return m_scan; }
    QList<MetricCard*> tiles() const { return m_tiles; }
    QStringList recommendationTexts() const;

private:
    void refresh();

    BridgeStore& m_store;
    StatusPill* m_pill;
    QLabel* m_headline;
    QLabel* m_message;
    ProminentButton* m_scan;
    QList<MetricCard*> m_tiles;
    QVBoxLayout* m_advice;
    QList<QWidget*> m_recommendationRows;
};
