#include "ui/settings/SettingsTextField.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/Painting.h"
#include "ui/settings/UnsavedMark.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QScopedValueRollback>
#include <QVBoxLayout>

SettingsTextField::SettingsTextField(const QString& title, const QString& help, TextBinding text,
                                     QWidget* parent)
    : QWidget(parent), m_binding(std::move(text))
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("settingsTextField"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(5);
    m_title = labels::make(title, TextStyle::Caption, QFont::DemiBold, secondaryText(), this);
    // A frameless field on a rounded white box with a separator outline (accent when focused).
    m_box = new QWidget(this);
    m_box->setObjectName(QStringLiteral("settingsTextFieldBox"));
    m_box->installEventFilter(this);
    auto* boxLayout = new QVBoxLayout(m_box);
    boxLayout->setContentsMargins(8, 4, 8, 4);
    m_edit = new QLineEdit(m_box);
    m_edit->setObjectName(QStringLiteral("settingsTextFieldEdit"));
    m_edit->setFrame(false);
    m_edit->setFont(AppTheme::font(TextStyle::Callout));
    m_edit->setMinimumHeight(22);
    QPalette pal = m_edit->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, ink());
    pal.setColor(QPalette::PlaceholderText, tertiaryText());
    m_edit->setPalette(pal);
    m_edit->installEventFilter(this);
    boxLayout->addWidget(m_edit);
    m_help = labels::make(help, TextStyle::Caption2, -1, secondaryText(), this);
    m_help->setWordWrap(true);
    m_help->setVisible(!help.isEmpty());
    m_unsaved = new UnsavedMark(m_edit, this);
    col->addLayout(UnsavedMark::besideTitle(m_title, m_unsaved));
    col->addWidget(m_box);
    col->addWidget(m_help);
    setTitle(title);

    m_edit->setText(m_binding.get());
    // textChanged, not textEdited: text set through the accessibility interface (or pasted by
    // a dictation tool) reaches the draft like typing. Showing the draft's value is no edit.
    connect(m_edit, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!m_refreshing)
            m_binding.set(t);
    });
    if (m_binding.model())
        connect(m_binding.model(), &SettingsDraftModel::changed, this, &SettingsTextField::refresh);
    refresh();
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
    m_unsaved->setUnsaved(m_binding.isUnsaved());
    const QString value = m_binding.get();
    if (m_edit->text() == value)
        return;
    const QScopedValueRollback refreshing(m_refreshing, true);
    m_edit->setText(value);
}

bool SettingsTextField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box && event->type() == QEvent::Paint) {
        QPainter p(m_box);
        painting::CardStyle s;
        s.rect = QRectF(m_box->rect());
        s.cornerRadius = AppTheme::Radius::field;
        s.fill = AppTheme::controlBackground();
        s.border = m_edit->hasFocus() ? AppTheme::withOpacity(AppTheme::primaryAccent(), 0.6)
                                      : AppTheme::withOpacity(AppTheme::ink(), 0.16);
        painting::paintCard(p, s);
        return true;
    }
    if (watched == m_edit && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        m_box->update();
    return QWidget::eventFilter(watched, event);
}
