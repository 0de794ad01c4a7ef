#pragma once

#include "ui/settings/SettingsCard.h"

class BridgeStore;
class QLabel;
class ToggleSwitch;

// "后台读取": the switch "登录后在后台读取消息" (the core starts with the desktop session and reads
// messages while razo is closed). It acts at once through the store, not with 保存全部设置, and
// shows the state the store read back, what it means, and why a change was not made.
class BackgroundReadingCard : public SettingsCard
{
    Q_OBJECT

public:
    explicit BackgroundReadingCard(BridgeStore& store, QWidget* parent = nullptr);

    ToggleSwitch* enabledSwitch() const { return m_switch; }
    QLabel* statusLabel() const { return m_status; }
    QLabel* problemLabel() const { return m_problem; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void refresh();

    BridgeStore& m_store;
    ToggleSwitch* m_switch;
    QLabel* m_status;
    QLabel* m_problem;
    bool m_refreshing = false;
};
