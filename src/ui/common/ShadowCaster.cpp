#include "ui/common/ShadowCaster.h"

#include "ui/common/Painting.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

ShadowCaster::ShadowCaster(QWidget* host) : QObject(host), m_host(host)
{
    setObjectName(QStringLiteral("shadowCaster"));
    host->installEventFilter(this);
}

ShadowCaster* ShadowCaster::forHost(QWidget* host, bool create)
{
    if (!host)
        return nullptr;
    for (QObject* child : host->children()) {
        if (auto* caster = qobject_cast<ShadowCaster*>(child))
            return caster;
    }
    return create ? new ShadowCaster(host) : nullptr;
}

void ShadowCaster::setShadow(QWidget* widget, std::optional<AppTheme::ShadowSpec> spec, qreal cornerRadius,
                             qreal inset)
{
    if (!widget)
        return;
    QWidget* host = widget->parentWidget();
    ShadowCaster* caster = forHost(host, spec.has_value());
    if (!caster)
        return;
    auto it = caster->m_entries.find(widget);
    if (it != caster->m_entries.end())
        caster->updateAround(*it, widget->geometry());
    if (!spec) {
        if (it != caster->m_entries.end()) {
            caster->m_entries.erase(it);
            caster->m_lastGeometry.remove(widget);
            widget->removeEventFilter(caster);
        }
        return;
    }
    if (it == caster->m_entries.end()) {
        widget->installEventFilter(caster);
        connect(widget, &QObject::destroyed, caster, [caster, widget] {
            caster->m_entries.remove(widget);
            caster->m_lastGeometry.remove(widget);
        });
    }
    Entry entry{widget, *spec, cornerRadius, inset};
    caster->m_entries.insert(widget, entry);
    caster->m_lastGeometry.insert(widget, widget->geometry());
    caster->updateAround(entry, widget->geometry());
}

std::optional<AppTheme::ShadowSpec> ShadowCaster::shadowOf(const QWidget* widget)
{
    if (!widget)
        return std::nullopt;
    ShadowCaster* caster = forHost(widget->parentWidget(), false);
    if (!caster)
        return std::nullopt;
    auto it = caster->m_entries.constFind(const_cast<QWidget*>(widget));
    if (it == caster->m_entries.constEnd())
        return std::nullopt;
    return it->spec;
}

void ShadowCaster::updateAround(const Entry& entry, const QRect& geometry)
{
    if (!m_host)
        return;
    const QMarginsF m = painting::shadowMargins(entry.spec);
    m_host->update(geometry.marginsAdded(m.toMargins() + QMargins(2, 2, 2, 2)));
}

bool ShadowCaster::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_host && event->type() == QEvent::Paint) {
        // Let the host paint itself first, then lay the shadows over it; children follow.
        static_cast<QObject*>(m_host)->event(event);
        paintShadows();
        return true;
    }
    if (auto* w = qobject_cast<QWidget*>(watched); w && w != m_host) {
        auto it = m_entries.find(w);
        if (it == m_entries.end())
            return false;
        switch (event->type()) {
        case QEvent::ParentChange:
            // The old parent no longer paints this shadow; the widget re-applies it to the new one.
            updateAround(*it, m_lastGeometry.value(w));
            m_entries.erase(it);
            m_lastGeometry.remove(w);
            w->removeEventFilter(this);
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            updateAround(*it, m_lastGeometry.value(w));
            updateAround(*it, w->geometry());
            m_lastGeometry.insert(w, w->geometry());
            break;
        default:
            break;
        }
    }
    return false;
}

void ShadowCaster::paintShadows()
{
    QPainter p(m_host);
    for (const Entry& e : std::as_const(m_entries)) {
        if (!e.widget || !e.widget->isVisibleTo(m_host))
            continue;
        const QRectF shape = QRectF(e.widget->geometry()).adjusted(e.inset, e.inset, -e.inset, -e.inset);
        painting::paintShadow(p, shape, e.cornerRadius, e.spec);
    }
}
