#include "ui/common/HeaderRow.h"

#include "ui/common/AppTheme.h"
#include "ui/common/GradientLabel.h"
#include "ui/common/Labels.h"

#include <QLabel>
#include <QVBoxLayout>

HeaderRow::HeaderRow(const QString& title, const QString& subtitle, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("headerRow"));
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(4);
    m_title = new GradientLabel(title, this);
    m_subtitle = labels::make(subtitle, AppTheme::TextStyle::Callout, -1, AppTheme::mutedInk(), this);
    m_subtitle->setObjectName(QStringLiteral("headerSubtitle"));
    m_subtitle->setVisible(!subtitle.isEmpty());
    col->addWidget(m_title);
    col->addWidget(m_subtitle);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(title);
}

void HeaderRow::setTitle(const QString& title)
{
    m_title->setText(title);
    setAccessibleName(title);
}

void HeaderRow::setSubtitle(const QString& subtitle)
{
    m_subtitle->setText(subtitle);
    m_subtitle->setVisible(!subtitle.isEmpty());
}

QString HeaderRow::title() const
{
    return m_title->text();
}
QString HeaderRow::subtitle() const
{
    return m_subtitle->text();
}
