#include "ui/settings/UnsavedMark.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"

#include <QHBoxLayout>

UnsavedMark::UnsavedMark(QWidget* control, QWidget* parent)
    : QLabel(QStringLiteral("● ") + text(), parent), m_control(control),
      m_description(control ? control->accessibleDescription() : QString())
{
    setObjectName(QStringLiteral("unsavedMark"));
    setAccessibleName(text());
    labels::style(this, AppTheme::TextStyle::Caption, QFont::DemiBold, AppTheme::warningAccent());
    setVisible(false);
}

QString UnsavedMark::text()
{
    return QStringLiteral("未保存");
}

void UnsavedMark::setUnsaved(bool unsaved)
{
    if (unsaved == m_unsaved)
        return;
    m_unsaved = unsaved;
    setVisible(unsaved);
    if (m_control)
        m_control->setAccessibleDescription(unsaved ? text() : m_description);
}

QHBoxLayout* UnsavedMark::besideTitle(QWidget* title, UnsavedMark* mark)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(title);
    row->addWidget(mark);
    row->addStretch(1);
    return row;
}
