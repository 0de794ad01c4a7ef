#include "ui/settings/AISettingsCard.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/SegmentedControl.h"
#include "ui/common/ToggleSwitch.h"
#include "ui/settings/DisclosureButton.h"
#include "ui/settings/SettingsTextField.h"
#include "ui/settings/UnsavedMark.h"
#include "ui/settings/logic/DraftBinding.h"
#include "ui/settings/logic/SettingsOptions.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScopedValueRollback>
#include <QVBoxLayout>

AISettingsCard::AISettingsCard(SettingsDraftModel* draft, QWidget* parent)
    : SettingsCard(QStringLiteral("AI 对话"), parent), m_draft(draft)
{
    using namespace AppTheme;
    using D = NativeSettingsDraft;
    setObjectName(QStringLiteral("aiSettingsCard"));

    auto* label = new QWidget;
    auto* labelCol = new QVBoxLayout(label);
    labelCol->setContentsMargins(0, 0, 0, 0);
    labelCol->setSpacing(3);
    const QString lead =
        QStringLiteral("默认不需要改。只有要切换 DeepSeek、Qwen、Ollama 或自建网关时才展开。");
    auto* leadLabel = labels::make(lead, TextStyle::Callout, QFont::DemiBold, ink(), label);
    leadLabel->setWordWrap(true);
    m_current = labels::make(QString(), TextStyle::Caption, -1, secondaryText(), label);
    m_current->setObjectName(QStringLiteral("aiCurrentLabel"));
    m_problem = labels::make(QString(), TextStyle::Caption, -1, systemOrange(), label);
    m_problem->setObjectName(QStringLiteral("aiProblemLabel"));
    m_problem->setWordWrap(true);
    m_problem->setVisible(false);
    labelCol->addWidget(leadLabel);
    labelCol->addWidget(m_current);
    labelCol->addWidget(m_problem);
    m_disclosure = new DisclosureButton(label, this);
    m_disclosure->setObjectName(QStringLiteral("aiDisclosure"));
    m_disclosure->setAccessibleName(lead);
    body()->addWidget(m_disclosure);

    m_content = new QWidget(this);
    m_content->setObjectName(QStringLiteral("aiSettingsContent"));
    auto* col = new QVBoxLayout(m_content);
    col->setContentsMargins(0, 10, 0, 0);
    col->setSpacing(12);
    m_enabled = new ToggleSwitch(QStringLiteral("启用 AI 对话分析"), m_content);
    m_enabled->setObjectName(QStringLiteral("aiEnabledSwitch"));
    m_enabledUnsaved = new UnsavedMark(m_enabled, m_content);
    auto* enabledRow = new QHBoxLayout;
    enabledRow->setSpacing(10);
    enabledRow->addWidget(m_enabled);
    enabledRow->addWidget(m_enabledUnsaved);
    enabledRow->addStretch(1);
    col->addLayout(enabledRow);

    auto* providerRow = new QHBoxLayout;
    providerRow->setSpacing(10);
    auto* providerLabel =
        labels::make(QStringLiteral("内置助手来源"), TextStyle::Callout, -1, ink(), m_content);
    m_provider =
        new SegmentedControl(QStringLiteral("内置助手来源"), settingsoptions::aiProviders(), m_content);
    m_provider->setObjectName(QStringLiteral("aiProviderPicker"));
    m_providerUnsaved = new UnsavedMark(m_provider, m_content);
    providerRow->addWidget(providerLabel);
    providerRow->addWidget(m_provider, 1);
    providerRow->addWidget(m_providerUnsaved);
    col->addLayout(providerRow);

    auto* row1 = new QHBoxLayout;
    row1->setSpacing(14);
    auto* model =
        new SettingsTextField(QStringLiteral("模型名称"), QString(), bindText(draft, &D::aiModel), m_content);
    model->setObjectName(QStringLiteral("aiModelField"));
    auto* env = new SettingsTextField(QStringLiteral("环境变量名"),
                                      QStringLiteral("如果不想把 Key 写进配置，可以只填环境变量名。"),
                                      bindText(draft, &D::aiAPIKeyEnv), m_content);
    env->setObjectName(QStringLiteral("aiKeyEnvField"));
    row1->addWidget(model, 1, Qt::AlignTop);
    row1->addWidget(env, 1, Qt::AlignTop);
    col->addLayout(row1);

    auto* row2 = new QHBoxLayout;
    row2->setSpacing(14);
    auto* base = new SettingsTextField(QStringLiteral("接口地址"), QString(), bindText(draft, &D::aiBaseURL),
                                       m_content);
    base->setObjectName(QStringLiteral("aiBaseURLField"));
    m_apiKey = new SettingsTextField(QStringLiteral("API Key"),
                                     QStringLiteral("留空时会优先读环境变量；失败则回退到本地摘要。"),
                                     bindText(draft, &D::aiAPIKey), m_content);
    m_apiKey->setObjectName(QStringLiteral("aiAPIKeyField"));
    row2->addWidget(base, 1, Qt::AlignTop);
    row2->addWidget(m_apiKey, 1, Qt::AlignTop);
    col->addLayout(row2);
    body()->addWidget(m_content);
    m_content->setVisible(false);

    connect(m_disclosure, &QAbstractButton::toggled, m_content, &QWidget::setVisible);
    // Value signals, so that the accessibility interface's Toggle reaches the draft too;
    // what refresh() shows from the draft is no edit.
    connect(m_enabled, &QAbstractButton::toggled, this, [this](bool on) {
        if (!m_refreshing)
            m_draft->setFlag(&NativeSettingsDraft::aiEnabled, on);
    });
    connect(m_provider, &SegmentedControl::currentValueChanged, this, [this](const QString& value) {
        if (!m_refreshing)
            m_draft->setText(&NativeSettingsDraft::aiProvider, value);
    });
    connect(draft, &SettingsDraftModel::changed, this, &AISettingsCard::refresh);
    refresh();
}

bool AISettingsCard::isExpanded() const
{
    return m_disclosure->isChecked();
}

void AISettingsCard::setExpanded(bool expanded)
{
    m_disclosure->setChecked(expanded);
}

void AISettingsCard::setCoreProblem(const QString& text)
{
    m_problem->setText(text);
    m_problem->setAccessibleName(text);
    m_problem->setVisible(!text.isEmpty());
    m_disclosure->setAccessibleDescription(text);
}

void AISettingsCard::refresh()
{
    const NativeSettingsDraft& d = m_draft->draft();
    const QString model = d.aiModel.isEmpty() ? QStringLiteral("自动选择模型") : d.aiModel;
    m_current->setText(QStringLiteral("当前：") + d.aiProvider + QStringLiteral(" / ") + model);
    const QScopedValueRollback refreshing(m_refreshing, true);
    m_enabled->setChecked(d.aiEnabled);
    m_provider->setCurrentValue(d.aiProvider);
    m_enabledUnsaved->setUnsaved(m_draft->isUnsaved(&NativeSettingsDraft::aiEnabled));
    m_providerUnsaved->setUnsaved(m_draft->isUnsaved(&NativeSettingsDraft::aiProvider));
}
