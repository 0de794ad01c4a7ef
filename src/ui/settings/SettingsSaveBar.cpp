#include "ui/settings/SettingsSaveBar.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/ProminentButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

SettingsSaveBar::SettingsSaveBar(QWidget* parent) : QWidget(parent)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("settingsSaveBar"));
    setAccessibleName(QStringLiteral("保存栏"));
    setFixedHeight(kHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(Metrics::pagePaddingH, 0, Metrics::pagePaddingH, 0);
    row->setSpacing(12);
    m_summary = labels::make(QString(), TextStyle::Callout, QFont::DemiBold, secondaryText(), this);
    m_summary->setObjectName(QStringLiteral("unsavedSummary"));
    m_save = new ProminentButton(QStringLiteral("保存全部设置"), QStringLiteral("checkmark.circle"), this);
    m_save->setObjectName(QStringLiteral("saveBarButton"));
    row->addWidget(m_summary, 1, Qt::AlignVCenter);
    row->addWidget(m_save, 0, Qt::AlignVCenter);
    setUnsavedCount(0);
}

QString SettingsSaveBar::summaryText(int unsavedCount)
{
    return unsavedCount > 0 ? QStringLiteral("有 %1 项更改未保存").arg(unsavedCount)
                            : QStringLiteral("没有未保存的更改");
}

void SettingsSaveBar::setUnsavedCount(int count)
{
    const QString text = summaryText(count);
    m_summary->setText(text);
    m_summary->setAccessibleName(text);
    labels::setTextColor(m_summary, count > 0 ? AppTheme::warningAccent() : AppTheme::secondaryText());
}

void SettingsSaveBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), AppTheme::cardBackground());
    p.fillRect(QRect(0, 0, width(), 1), AppTheme::separator()); // the hairline above the bar
}
