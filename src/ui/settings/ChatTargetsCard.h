#pragma once

#include "ui/settings/SettingsCard.h"

class BridgeStore;
class ChatTargetEditor;
class SettingsDraftModel;

// "微信和企业微信": the two reader editors side by side. An editor whose reader is on but cannot
// read says "未在读取" with the core's reason; otherwise the WeCom editor shows the status derived
// from the core's WeCom diagnostics. The WeCom editor has no OCR reader.
class ChatTargetsCard : public SettingsCard
{
    Q_OBJECT

public:
    ChatTargetsCard(BridgeStore& store, SettingsDraftModel* draft, QWidget* parent = nullptr);

    ChatTargetEditor* wechatEditor() const { return m_wechat; }
    ChatTargetEditor* wecomEditor() const { return m_wecom; }

private:
    void refreshStatus();

    BridgeStore& m_store;
    SettingsDraftModel* m_draft;
    ChatTargetEditor* m_wechat;
    ChatTargetEditor* m_wecom;
};
