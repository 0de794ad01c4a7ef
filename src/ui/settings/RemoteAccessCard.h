#pragma once

#include "ui/settings/SettingsCard.h"

class BorderedButton;
class BridgeStore;
class LinkLine;
class QLabel;
class SettingsDraftModel;
class SettingsTextField;

// "手机访问与 Agent 接入": the public phone address with the website-bridge box and its sync
// button, the sync status line, the access token field, the same-Wi-Fi and agent addresses
// and the buttons that copy the agent's access text and the MCP client configuration. Redrawn from the store
// and the draft.
class RemoteAccessCard : public SettingsCard
{
    Q_OBJECT

public:
    RemoteAccessCard(BridgeStore& store, SettingsDraftModel* draft, QWidget* parent = nullptr);

    LinkLine* publicLine() const { return m_public; }
    LinkLine* wifiLine() const { return m_wifi; }
    LinkLine* agentLine() const { return m_agent; }
    BorderedButton* syncButton() const { return m_sync; }
    BorderedButton* bundleButton() const { return m_bundle; }
    BorderedButton* mcpButton() const { return m_mcp; }
    QLabel* mcpUsageLine() const { return m_mcpUsage; }
    SettingsTextField* tokenField() const { return m_token; }
    QLabel* statusLine() const { return m_status; }

private:
    QWidget* bridgeBox();
    void refresh();
    void copyBundle();
    void copyMcpConfig();

    BridgeStore& m_store;
    SettingsDraftModel* m_draft;
    LinkLine* m_public;
    BorderedButton* m_sync = nullptr;
    QLabel* m_status;
    SettingsTextField* m_token;
    LinkLine* m_wifi;
    LinkLine* m_agent;
    BorderedButton* m_bundle;
    BorderedButton* m_mcp;
    QLabel* m_mcpUsage;
};
