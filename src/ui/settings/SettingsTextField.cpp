#include "ui/settings/SettingsTextField.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

SettingsTextField::SettingsTextField(const QString& title, const QString& help, TextBinding text, QWidget* parent)
    : QWidget(parent), m_binding(std::move(text))
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("settingsTextField"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(5);
    m_title = labels::make(title, TextStyle::Caption, QFont::DemiBold, secondaryText(), this);
    m_edit = new QLineEdit(this);
    m_edit->setFont(AppTheme::font(TextStyle::Callout));
    m_edit->setMinimumHeight(28);
    m_help = labels::make(help, TextStyle::Caption2, -1, secondaryText(), this);
    m_help->setWordWrap(true);
    m_help->setVisible(!help.isEmpty());
    col->addWidget(m_title);
    col->addWidget(m_edit);
    col->addWidget(m_help);
    setTitle(title);

    m_edit->setText(m_binding.get());
    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString& t) { m_binding.set(t); });
    if (m_binding.model())
        connect(m_binding.model(), &SettingsDraftModel::changed, this, &SettingsTextField::refresh);
}

void SettingsTextField::setTitle(const QString& title)
{
    m_title->setText(title);
    m_edit->setPlaceholderText(title);
    m_edit->setAccessibleName(title);
}

QString SettingsTextField::title() const
{
    return m_title->text();
}

QString SettingsTextField::help() const
{
    return m_help->text();
}

void SettingsTextField::refresh()
{
    const QString value = m_binding.get();
    if (m_edit->text() != value)
        m_edit->setText(value);
}
