#include "ui/settings/LinkLine.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/BorderedButton.h"
#include "ui/common/Labels.h"
#include "ui/common/Painting.h"
#include "ui/settings/AddressText.h"
#include "ui/settings/logic/RemoteAccessDerivations.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int kBoxPadding = 12;
constexpr qreal kBoxRadius = 12;

} // namespace

LinkLine::LinkLine(BridgeStore& store, const QString& title, const QString& copyLabel, QWidget* parent)
    : QWidget(parent), m_store(store), m_copyLabel(copyLabel)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("linkLine"));
    setAccessibleName(title);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(6);
    m_title = labels::make(title, TextStyle::Caption, QFont::DemiBold, secondaryText(), this);
    col->addWidget(m_title);

    m_box = new QWidget(this);
    m_box->setObjectName(QStringLiteral("linkLineBox"));
    m_box->installEventFilter(this);
    auto* row = new QHBoxLayout(m_box);
    row->setContentsMargins(kBoxPadding, kBoxPadding, kBoxPadding, kBoxPadding);
    row->setSpacing(12);
    m_text = new AddressText(2, m_box);
    m_text->setObjectName(QStringLiteral("linkLineValue"));
    m_copy = new BorderedButton(QStringLiteral("复制"), QString(), m_box);
    m_copy->setObjectName(QStringLiteral("linkLineCopy"));
    m_copy->setAccessibleName(QStringLiteral("复制") + title);
    row->addWidget(m_text, 1, Qt::AlignVCenter);
    row->addWidget(m_copy, 0, Qt::AlignVCenter);
    col->addWidget(m_box);

    connect(m_copy, &QAbstractButton::clicked, this, &LinkLine::copy);
}

void LinkLine::set(const QString& value, bool canCopy)
{
    m_value = value;
    m_text->setText(value);
    m_copy->setEnabled(remoteaccess::copyAllowed(value, canCopy));
}

QString LinkLine::title() const
{
    return m_title->text();
}

void LinkLine::copy()
{
    if (!m_copy->isEnabled())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_value);
    m_store.showToast(m_copyLabel);
}

bool LinkLine::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box && event->type() == QEvent::Paint) {
        QPainter p(m_box);
        painting::CardStyle s;
        s.rect = QRectF(m_box->rect());
        s.cornerRadius = kBoxRadius;
        s.fill = AppTheme::windowBackground();
        s.border = AppTheme::softBorder();
        painting::paintCard(p, s);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
