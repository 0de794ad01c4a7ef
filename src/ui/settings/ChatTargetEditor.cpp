#include "ui/settings/ChatTargetEditor.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/Painting.h"
#include "ui/common/SegmentedControl.h"
#include "ui/common/StatusPill.h"
#include "ui/common/ToggleSwitch.h"
#include "ui/common/WheelGuard.h"
#include "ui/settings/SettingsTextEditor.h"
#include "ui/settings/SettingsTextField.h"
#include "ui/settings/StatusTintColor.h"
#include "ui/settings/UnsavedMark.h"
#include "ui/settings/logic/SettingsOptions.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace {

constexpr int kPadding = 14;
constexpr qreal kRadius = 16;

QHBoxLayout* labelledRow(const QString& label, QWidget* control, UnsavedMark* mark, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    auto* l = labels::make(label, AppTheme::TextStyle::Callout, -1, AppTheme::ink(), parent);
    l->setBuddy(control);
    row->addWidget(l, 0, Qt::AlignVCenter);
    row->addWidget(control, 1, Qt::AlignVCenter);
    row->addWidget(mark, 0, Qt::AlignVCenter);
    return row;
}

// The reader sources, those that cannot read here disabled with the reason.
void fillSources(QComboBox* combo, bool supportsOCR)
{
    auto* model = qobject_cast<QStandardItemModel*>(combo->model());
    for (const auto& [value, label] : settingsoptions::readerSources(supportsOCR)) {
        const QString reason = settingsoptions::unavailableReason(value);
        combo->addItem(
            reason.isEmpty() ? label : label + QStringLiteral("（") + reason + QStringLiteral("）"), value);
        if (!reason.isEmpty() && model) {
            QStandardItem* item = model->item(combo->count() - 1);
            item->setEnabled(false);
            item->setToolTip(reason);
        }
    }
}

} // namespace

ChatTargetEditor::ChatTargetEditor(const QString& title, Bindings bindings, bool supportsOCR, QWidget* parent)
    : QWidget(parent), m_titleText(title), m_bindings(std::move(bindings)), m_supportsOCR(supportsOCR)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("chatTargetEditor"));
    setAccessibleName(title);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    col->setSpacing(12);
    col->setAlignment(Qt::AlignTop);

    // 1. The switch, labelled by the status pill.
    auto* switchRow = new QHBoxLayout;
    m_pill = new StatusPill(QString(), QString(), secondaryText(), this);
    m_pill->setObjectName(QStringLiteral("chatTargetStatus"));
    m_switch = new ToggleSwitch(QString(), this);
    m_switch->setObjectName(QStringLiteral("chatTargetSwitch"));
    m_switch->setAccessibleName(title + QStringLiteral("开关"));
    m_switchUnsaved = new UnsavedMark(m_switch, this);
    switchRow->addWidget(m_pill, 0, Qt::AlignVCenter);
    switchRow->addStretch(1);
    switchRow->addWidget(m_switchUnsaved, 0, Qt::AlignVCenter);
    switchRow->addWidget(m_switch, 0, Qt::AlignVCenter);
    col->addLayout(switchRow);

    // 2., 3. Title and help.
    auto* titleLabel = labels::make(title, TextStyle::Headline, -1, ink(), this);
    titleLabel->setObjectName(QStringLiteral("chatTargetTitle"));
    col->addWidget(titleLabel);
    m_help = labels::make(QString(), TextStyle::Caption, -1, secondaryText(), this);
    m_help->setObjectName(QStringLiteral("chatTargetHelp"));
    m_help->setWordWrap(true);
    m_help->setVisible(false);
    col->addWidget(m_help);

    // 4. Reader source.
    m_source = new QComboBox(this);
    m_source->setObjectName(QStringLiteral("readerSourcePicker"));
    m_source->setAccessibleName(QStringLiteral("读取方式"));
    m_source->setFont(AppTheme::font(TextStyle::Callout));
    wheelguard::ignoreWheelUnlessFocused(m_source);
    fillSources(m_source, supportsOCR);
    m_sourceUnsaved = new UnsavedMark(m_source, this);
    col->addLayout(labelledRow(QStringLiteral("读取方式"), m_source, m_sourceUnsaved, this));

    // 5. Data folder.
    m_dataRoot = new SettingsTextField(QStringLiteral("数据目录"),
                                       QStringLiteral("自动识别失败时才需要手动改；留空会使用系统推荐路径。"),
                                       m_bindings.dataRoot, this);
    m_dataRoot->setObjectName(QStringLiteral("dataRootField"));
    col->addWidget(m_dataRoot);

    // 6. WeCom rule.
    if (m_bindings.ruleMode) {
        m_rule = new SegmentedControl(QStringLiteral("企微规则"), settingsoptions::wecomRules(), this);
        m_rule->setObjectName(QStringLiteral("wecomRulePicker"));
        m_ruleUnsaved = new UnsavedMark(m_rule, this);
        col->addLayout(labelledRow(QStringLiteral("企微规则"), m_rule, m_ruleUnsaved, this));
        connect(m_rule, &SegmentedControl::currentValueChanged, this,
                [this](const QString& value) { m_bindings.ruleMode->set(value); });
    }

    // 7. Allowlist.
    const bool wecom = title == QStringLiteral("企业微信");
    m_allowlist = new SettingsTextEditor(
        wecom ? QStringLiteral("白名单（可选）") : QStringLiteral("白名单"),
        wecom ? QStringLiteral("企微选择“收到消息就整理”时可留空；白名单模式下一行一个联系人或群。")
              : QStringLiteral("一行一个联系人或群。"),
        m_bindings.allowlist, 90, this);
    m_allowlist->setObjectName(QStringLiteral("allowlistEditor"));
    col->addWidget(m_allowlist);

    // Value signals, not clicks: a change made through the accessibility interface (the
    // switch's Toggle action, a picked item) reaches the draft like a click. What refresh()
    // shows from the draft is no edit.
    connect(m_switch, &QAbstractButton::toggled, this, [this](bool on) {
        if (!m_refreshing)
            m_bindings.enabled.set(on);
    });
    connect(m_source, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_refreshing && index >= 0)
            m_bindings.source.set(m_source->itemData(index).toString());
    });
    if (SettingsDraftModel* model = m_bindings.source.model())
        connect(model, &SettingsDraftModel::changed, this, &ChatTargetEditor::refresh);
    m_lastSource = m_bindings.source.get();
    refresh();
}

void ChatTargetEditor::setStatus(const std::optional<StatusLook>& override, const QString& help)
{
    m_override = override;
    m_help->setText(help);
    m_help->setVisible(!help.isEmpty());
    refreshPill();
}

void ChatTargetEditor::normalizeSource()
{
    if (const auto replacement = settingsoptions::normalizedSource(m_bindings.source.get(), m_supportsOCR))
        m_bindings.source.set(*replacement);
}

void ChatTargetEditor::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous())
        normalizeSource();
}

void ChatTargetEditor::refresh()
{
    const QString source = m_bindings.source.get();
    {
        const QScopedValueRollback refreshing(m_refreshing, true);
        m_switch->setChecked(m_bindings.enabled.get());
        m_source->setCurrentIndex(
            settingsoptions::indexOf(settingsoptions::readerSources(m_supportsOCR), source));
        if (m_rule) {
            const QString rule = m_bindings.ruleMode->get();
            if (settingsoptions::indexOf(settingsoptions::wecomRules(), rule) < 0)
                m_rule->setCurrentIndex(-1);
            else
                m_rule->setCurrentValue(rule);
        }
    }
    m_switchUnsaved->setUnsaved(m_bindings.enabled.isUnsaved());
    m_sourceUnsaved->setUnsaved(m_bindings.source.isUnsaved());
    if (m_ruleUnsaved)
        m_ruleUnsaved->setUnsaved(m_bindings.ruleMode->isUnsaved());
    refreshPill();
    if (source != m_lastSource) {
        m_lastSource = source;
        normalizeSource();
    }
}

void ChatTargetEditor::refreshPill()
{
    const bool on = m_bindings.enabled.get();
    const StatusLook look = m_override.value_or(
        on ? StatusLook{QStringLiteral("已开启"), QStringLiteral("checkmark.circle.fill"), StatusTint::Green}
           : StatusLook{QStringLiteral("未开启"), QStringLiteral("pause.circle.fill"),
                        StatusTint::Secondary});
    m_pill->set(look.title, look.icon, statusTintColor(look.tint));
}

void ChatTargetEditor::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    painting::CardStyle s;
    s.rect = QRectF(rect());
    s.cornerRadius = kRadius;
    s.fill = AppTheme::controlBackground();
    s.border = AppTheme::softBorder();
    painting::paintCard(p, s);
}
