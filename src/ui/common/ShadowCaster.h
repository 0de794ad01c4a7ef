#pragma once

#include "ui/common/AppTheme.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <optional>

class QWidget;

// Soft drop shadows that do not take layout space. A widget cannot paint outside its own
// rectangle, so its shadow is painted by its parent, right after the parent's own paint
// and before the children: the shadow sits under every sibling, as on a desk.
//
// One ShadowCaster lives per parent widget (created on demand, owned by the parent).
class ShadowCaster : public QObject
{
    Q_OBJECT

public:
    // Gives `widget` a shadow of `spec` under a rounded shape of cornerRadius that fills the
    // widget (inset by `inset` on every side); nullopt removes it. Call again to change it.
    static void setShadow(QWidget* widget, std::optional<AppTheme::ShadowSpec> spec, qreal cornerRadius,
                          qreal inset = 0);
    // The shadow currently set on widget, if any (for tests).
    static std::optional<AppTheme::ShadowSpec> shadowOf(const QWidget* widget);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry
    {
        QPointer<QWidget> widget;
        AppTheme::ShadowSpec spec;
        qreal cornerRadius = 0;
        qreal inset = 0;
    };

    explicit ShadowCaster(QWidget* host);
    static ShadowCaster* forHost(QWidget* host, bool create);
    void paintShadows();
    void updateAround(const Entry& entry, const QRect& geometry);

    QWidget* m_host;
    QHash<QWidget*, Entry> m_entries;
    QHash<QWidget*, QRect> m_lastGeometry;
};
