#include "ui/messages/EventRowDelegate.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"
#include "ui/messages/logic/EventListModel.h"
#include "ui/messages/logic/MessageFilter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <cmath>

namespace {

QColor highlightColor()
{
    return AppTheme::withOpacity(AppTheme::warningAccent(), 0.30);
}

// Line breaks become the layout's own separator (same length, so text positions stay valid).
QString prepared(QString text)
{
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

// Lays `text` out in at most `maxLines` lines of `width`; when it does not fit, the last line is
// cut with an ellipsis. Returns the height taken; `shown` receives the text actually laid out.
qreal layoutLines(QTextLayout& layout, const QString& text, const QFont& font, qreal width, int maxLines,
                  QString* shown)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    auto run = [&](const QString& t, bool* more) {
        layout.clearLayout();
        layout.setText(t);
        layout.setFont(font);
        layout.setTextOption(option);
        layout.beginLayout();
        qreal y = 0;
        for (int lines = 0; lines < maxLines; ++lines) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
            if (lines == maxLines - 1)
                *more = line.textStart() + line.textLength() < t.size();
        }
        layout.endLayout();
        return y;
    };

    bool more = false;
    QString t = prepared(text);
    qreal height = run(t, &more);
    if (more) {
        const int lastStart = layout.lineAt(maxLines - 1).textStart();
        // The last line shows its own text only; when a line break ends it, the ellipsis still
        // tells that more follows.
        QString last = t.mid(lastStart);
        const qsizetype lineBreak = last.indexOf(QChar::LineSeparator);
        if (lineBreak >= 0)
            last = last.left(lineBreak) + QChar(0x2026);
        t = t.left(lastStart) + QFontMetricsF(font).elidedText(last, Qt::ElideRight, width);
        bool ignored = false;
        height = run(t, &ignored);
    }
    if (shown)
        *shown = t;
    return height;
}

// Highlight formats for the search matches of `original` that lie within the first `visible`
// characters of the text shown.
QList<QTextLayout::FormatRange> highlights(const QString& original, const QString& query, qsizetype visible)
{
    QList<QTextLayout::FormatRange> formats;
    if (query.trimmed().isEmpty())
        return formats;
    for (const messagefilter::TextRange& r : messagefilter::searchMatches(original, query)) {
        const qsizetype end = std::min(r.start + r.length, visible);
        if (r.start >= end)
            continue;
        QTextLayout::FormatRange f;
        f.start = int(r.start);
        f.length = int(end - r.start);
        f.format.setBackground(highlightColor());
        formats.append(f);
    }
    return formats;
}

// Visible part of a text cut by elidedText (the ellipsis itself is not original text).
qsizetype visiblePrefix(const QString& original, const QString& shown)
{
    return shown == original ? shown.size() : std::max<qsizetype>(0, shown.size() - 1);
}

// One line of text at `left`, vertically centred in `line`, elided to `maxWidth`, with the
// search matches highlighted. Returns the width taken.
qreal drawSingleLine(QPainter& p, const QRectF& line, const QString& text, const QFont& font,
                     const QColor& color, const QString& query)
{
    if (text.isEmpty() || line.width() <= 0)
        return 0;
    const QFontMetricsF fm(font);
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QString shown = fm.elidedText(flat, Qt::ElideRight, line.width());
    QTextLayout layout(shown, font);
    layout.beginLayout();
    QTextLine tl = layout.createLine();
    tl.setLineWidth(line.width());
    layout.endLayout();
    const qreal y = line.top() + (line.height() - tl.height()) / 2;
    p.setPen(color);
    layout.draw(&p, QPointF(line.left(), y), highlights(flat, query, visiblePrefix(flat, shown)));
    return tl.naturalTextWidth();
}

} // namespace

EventRowDelegate::EventRowDelegate(QObject* parent) : QAbstractItemDelegate(parent)
{
    using AppTheme::TextStyle;
    m_fonts.badge = AppTheme::font(TextStyle::Caption, QFont::Bold);
    m_fonts.session = AppTheme::font(TextStyle::Headline, QFont::Bold);
    m_fonts.sender = AppTheme::font(TextStyle::Subheadline);
    m_fonts.time = AppTheme::font(TextStyle::Caption);
    m_fonts.message = AppTheme::font(TextStyle::Callout);

    const QFontMetricsF badge(m_fonts.badge);
    m_badgeColumn = int(std::ceil(badge.horizontalAdvance(QStringLiteral("企业微信")))) + 2 * badgePaddingH;
    m_badgeHeight = int(std::ceil(badge.height())) + 2 * badgePaddingV;
    m_titleHeight = int(
        std::ceil(std::max({QFontMetricsF(m_fonts.session).height(), QFontMetricsF(m_fonts.sender).height(),
                            QFontMetricsF(m_fonts.time).height()})));
    m_messageLineHeight = int(std::ceil(QFontMetricsF(m_fonts.message).height()));
}

void EventRowDelegate::setSearchQuery(const QString& query)
{
    m_query = query;
}

int EventRowDelegate::textColumnWidth(int rowWidth) const
{
    return std::max(40, rowWidth - 2 * rowPadding - m_badgeColumn - badgeSpacing);
}

void EventRowDelegate::clearCache() const
{
    m_lineCache.clear();
    m_previousCache.clear();
    m_cacheWidth = -1;
    m_previousWidth = -1;
}

int EventRowDelegate::rowHeight(int width, const QString& message) const
{
    const int textWidth = textColumnWidth(width);
    // Heights for the last two widths are kept: a scroll bar coming and going switches between
    // two widths, and neither switch should lay out every message again.
    if (textWidth != m_cacheWidth) {
        std::swap(m_lineCache, m_previousCache);
        std::swap(m_cacheWidth, m_previousWidth);
        if (textWidth != m_cacheWidth) {
            m_lineCache.clear();
            m_cacheWidth = textWidth;
        }
    }
    auto it = m_lineCache.constFind(message);
    int messageHeight;
    if (it != m_lineCache.cend()) {
        messageHeight = *it;
    } else {
        QTextLayout layout;
        messageHeight = int(
            std::ceil(layoutLines(layout, message, m_fonts.message, textWidth, maxMessageLines, nullptr)));
        m_lineCache.insert(message, messageHeight);
    }
    const int content = std::max(m_badgeHeight, m_titleHeight + columnSpacing + messageHeight);
    return rowPadding + content + rowPadding + rowSpacing;
}

QSize EventRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int width = option.rect.width() > 0 ? option.rect.width() : 480;
    return QSize(width, rowHeight(width, index.data(EventListModel::MessageRole).toString()));
}

void EventRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QPainter& p = *painter;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRectF tile = QRectF(option.rect).adjusted(0, 0, 0, -rowSpacing);
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const bool hovered = option.state.testFlag(QStyle::State_MouseOver);
    QPainterPath shape;
    shape.addRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), rowRadius, rowRadius);
    p.fillPath(shape, AppTheme::subtleBackground());
    if (selected) {
        p.fillPath(shape, AppTheme::withOpacity(AppTheme::primaryAccent(), 0.07));
        p.strokePath(shape, QPen(AppTheme::withOpacity(AppTheme::primaryAccent(), 0.55), 1.5));
    } else {
        p.strokePath(shape, QPen(hovered ? AppTheme::border() : AppTheme::softBorder(), 1));
    }

    const QRectF inner = tile.adjusted(rowPadding, rowPadding, -rowPadding, -rowPadding);
    const QString badge = index.data(EventListModel::BadgeRole).toString();
    const bool wecom = index.data(EventListModel::IsWeComRole).toBool();
    const qreal badgeWidth = QFontMetricsF(m_fonts.badge).horizontalAdvance(badge) + 2 * badgePaddingH;
    paintBadge(p, QRectF(inner.left(), inner.top(), badgeWidth, m_badgeHeight), badge, wecom);

    const qreal textLeft = inner.left() + m_badgeColumn + badgeSpacing;
    QRectF title(textLeft, inner.top(), inner.right() - textLeft, m_titleHeight);
    if (index.data(EventListModel::SuspiciousRole).toBool()) {
        // The scam warning opens the title line, right beside the source badge.
        const QString warning = EventListModel::suspiciousBadge();
        const qreal width = QFontMetricsF(m_fonts.badge).horizontalAdvance(warning) + 2 * badgePaddingH;
        const qreal top = title.top() + (title.height() - m_badgeHeight) / 2;
        paintCapsuleLabel(p, QRectF(title.left(), top, width, m_badgeHeight), warning, AppTheme::systemRed());
        title.setLeft(title.left() + width + titleSpacing);
    }
    paintTitleLine(p, title, index);
    const QRectF message(textLeft, title.bottom() + columnSpacing, title.width(),
                         inner.bottom() - title.bottom() - columnSpacing);
    paintMessage(p, message, index.data(EventListModel::MessageRole).toString());

    if (option.state.testFlag(QStyle::State_HasFocus) && !selected)
        painting::paintFocusRing(p, tile, rowRadius);
    p.restore();
}

void EventRowDelegate::paintBadge(QPainter& p, const QRectF& rect, const QString& label, bool wecom) const
{
    paintCapsuleLabel(p, rect, label, wecom ? AppTheme::systemBlue() : AppTheme::systemGreen());
}

void EventRowDelegate::paintCapsuleLabel(QPainter& p, const QRectF& rect, const QString& label,
                                         const QColor& tint) const
{
    painting::paintCapsule(p, rect, AppTheme::withOpacity(tint, 0.12));
    p.setFont(m_fonts.badge);
    p.setPen(tint);
    p.drawText(rect, Qt::AlignCenter, label);
}

void EventRowDelegate::paintTitleLine(QPainter& p, const QRectF& rect, const QModelIndex& index) const
{
    const QString session = index.data(EventListModel::SessionRole).toString();
    const QString sender = index.data(EventListModel::SenderRole).toString();
    const QString time = index.data(EventListModel::SentAtRole).toString();

    qreal right = rect.right();
    if (!time.isEmpty()) {
        const qreal timeWidth =
            std::min(QFontMetricsF(m_fonts.time).horizontalAdvance(time) + 1, rect.width() / 2);
        drawSingleLine(p, QRectF(right - timeWidth, rect.top(), timeWidth, rect.height()), time, m_fonts.time,
                       AppTheme::secondaryText(), QString());
        right -= timeWidth + titleSpacing;
    }
    // The session keeps at least 60% of the room when a sender shares the line.
    const qreal room = right - rect.left();
    const qreal sessionNatural = QFontMetricsF(m_fonts.session).horizontalAdvance(session) + 1;
    const qreal sessionMax =
        sender.isEmpty()
            ? room
            : std::max(room * 0.6,
                       room - QFontMetricsF(m_fonts.sender).horizontalAdvance(sender) - titleSpacing - 1);
    const qreal sessionWidth = std::min(sessionNatural, sessionMax);
    drawSingleLine(p, QRectF(rect.left(), rect.top(), sessionWidth, rect.height()), session, m_fonts.session,
                   AppTheme::ink(), m_query);
    if (!sender.isEmpty()) {
        const qreal left = rect.left() + sessionWidth + titleSpacing;
        drawSingleLine(p, QRectF(left, rect.top(), right - left, rect.height()), sender, m_fonts.sender,
                       AppTheme::secondaryText(), m_query);
    }
}

void EventRowDelegate::paintMessage(QPainter& p, const QRectF& rect, const QString& message) const
{
    QTextLayout layout;
    QString shown;
    layoutLines(layout, message, m_fonts.message, rect.width(), maxMessageLines, &shown);
    const QString flat = prepared(message);
    const qsizetype visible = shown == flat ? shown.size() : std::max<qsizetype>(0, shown.size() - 1);
    p.setPen(AppTheme::ink());
    p.setClipRect(rect.adjusted(-2, -2, 2, 2), Qt::IntersectClip);
    layout.draw(&p, rect.topLeft(), highlights(message, m_query, visible));
}
