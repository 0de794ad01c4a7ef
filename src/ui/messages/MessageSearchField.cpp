#include "ui/messages/MessageSearchField.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/Painting.h"
#include "ui/common/SymbolIcons.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace {
constexpr int fieldHeight = 30;
constexpr int iconSize = 14;
} // namespace

MessageSearchField::MessageSearchField(QWidget* parent) : QWidget(parent), m_edit(new QLineEdit(this))
{
    setObjectName(QStringLiteral("messagesSearch"));
    setFixedHeight(fieldHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumWidth(160);
    setCursor(Qt::IBeamCursor);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 0, 4, 0);
    row->setSpacing(6);
    auto* icon = new QLabel(this);
    icon->setPixmap(SymbolIcons::pixmap(QStringLiteral("magnifyingglass"), iconSize,
                                        AppTheme::secondaryText(), devicePixelRatioF()));
    icon->setFixedSize(iconSize, iconSize);
    row->addWidget(icon);

    m_edit->setObjectName(QStringLiteral("messagesSearchField"));
    m_edit->setAccessibleName(QStringLiteral("搜索消息"));
    m_edit->setPlaceholderText(QStringLiteral("搜索消息"));
    m_edit->setClearButtonEnabled(true);
    m_edit->setFrame(false);
    m_edit->setFont(AppTheme::font(AppTheme::TextStyle::Callout));
    QPalette pal = m_edit->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, AppTheme::ink());
    pal.setColor(QPalette::PlaceholderText, AppTheme::tertiaryText());
    m_edit->setPalette(pal);
    m_edit->installEventFilter(this);
    row->addWidget(m_edit, 1);
    setFocusProxy(m_edit);

    connect(m_edit, &QLineEdit::textChanged, this, &MessageSearchField::textChanged);
}

QString MessageSearchField::text() const
{
    return m_edit->text();
}

void MessageSearchField::setText(const QString& text)
{
    m_edit->setText(text);
}

void MessageSearchField::focusField()
{
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

bool MessageSearchField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            !m_edit->text().isEmpty()) {
            m_edit->clear();
            return true;
        }
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            update(); // the focus ring follows the line edit
    }
    return QWidget::eventFilter(watched, event);
}

void MessageSearchField::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF shape = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painting::CardStyle style;
    style.rect = shape;
    style.cornerRadius = AppTheme::Radius::field;
    style.fill = AppTheme::controlBackground();
    style.border = AppTheme::separator();
    painting::paintCard(p, style);
    if (m_edit->hasFocus())
        painting::paintFocusRing(p, shape, AppTheme::Radius::field);
}
