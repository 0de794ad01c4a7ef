#include "ui/settings/SettingsTextEditor.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/Painting.h"
#include "ui/settings/UnsavedMark.h"
#include "ui/settings/logic/EditorText.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

constexpr int kPadding = 8;

} // namespace

SettingsTextEditor::SettingsTextEditor(const QString& title, const QString& help, TextBinding text,
                                       int height, QWidget* parent)
    : QWidget(parent), m_binding(std::move(text))
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("settingsTextEditor"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(5);
    m_title = labels::make(title, TextStyle::Caption, QFont::DemiBold, secondaryText(), this);

    // The editor's own background is hidden; the box behind it paints the rounded frame.
    m_box = new QWidget(this);
    m_box->setObjectName(QStringLiteral("settingsTextEditorBox"));
    m_box->setMinimumHeight(height);
    m_box->installEventFilter(this);
    auto* boxLayout = new QVBoxLayout(m_box);
    boxLayout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    m_edit = new QPlainTextEdit(m_box);
    m_edit->setObjectName(QStringLiteral("settingsTextEditorEdit"));
    m_edit->setFrameShape(QFrame::NoFrame);
    m_edit->setFont(AppTheme::font(TextStyle::Body));
    m_edit->setAccessibleName(title);
    m_edit->setTabChangesFocus(true);
    // The box decides the height (at least `height`); the editor scrolls inside it.
    m_edit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    QPalette pal = m_edit->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, AppTheme::ink());
    m_edit->setPalette(pal);
    m_edit->viewport()->setAutoFillBackground(false);
    m_edit->installEventFilter(this);
    m_edit->document()->setDocumentMargin(0);
    boxLayout->addWidget(m_edit);

    m_help = labels::make(help, TextStyle::Caption2, -1, secondaryText(), this);
    m_help->setWordWrap(true);
    m_help->setVisible(!help.isEmpty());
    m_unsaved = new UnsavedMark(m_edit, this);
    col->addLayout(UnsavedMark::besideTitle(m_title, m_unsaved));
    col->addWidget(m_box);
    col->addWidget(m_help);

    refresh();
    // Every change of the document, typed or made through the accessibility interface,
    // reaches the draft; only the edited part of the loaded text changes.
    connect(m_edit, &QPlainTextEdit::textChanged, this, &SettingsTextEditor::takeEdit);
    if (m_binding.model())
        connect(m_binding.model(), &SettingsDraftModel::changed, this, &SettingsTextEditor::refresh);
}

QString SettingsTextEditor::title() const
{
    return m_title->text();
}

QString SettingsTextEditor::help() const
{
    return m_help->text();
}

void SettingsTextEditor::refresh()
{
    m_unsaved->setUnsaved(m_binding.isUnsaved());
    const QString value = m_binding.get();
    if (value == m_text)
        return;
    m_text = value;
    const QScopedValueRollback refreshing(m_refreshing, true);
    m_edit->setPlainText(value);
    m_shown = m_edit->document()->toRawText();
}

void SettingsTextEditor::takeEdit()
{
    if (m_refreshing)
        return;
    const QString shown = m_edit->document()->toRawText();
    m_text = editortext::mergeEdit(m_text, m_shown, shown).value_or(editortext::plain(shown));
    m_shown = shown;
    m_binding.set(m_text);
}

bool SettingsTextEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box && event->type() == QEvent::Paint) {
        QPainter p(m_box);
        painting::CardStyle s;
        s.rect = QRectF(m_box->rect());
        s.cornerRadius = AppTheme::Radius::editor;
        s.fill = AppTheme::controlBackground();
        s.border = m_edit->hasFocus() ? AppTheme::withOpacity(AppTheme::primaryAccent(), 0.6)
                                      : AppTheme::separator();
        painting::paintCard(p, s);
        return true;
    }
    if (watched == m_edit && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        m_box->update();
    return QWidget::eventFilter(watched, event);
}
