#include "ui/common/SidebarView.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/BrandMark.h"
#include "ui/common/Labels.h"
#include "ui/common/SidebarFooterView.h"
#include "ui/common/SidebarNavButton.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

SidebarView::SidebarView(BridgeStore& store, QWidget* parent) : QWidget(parent), m_store(store)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("sidebar"));
    setAccessibleName(QStringLiteral("边栏"));
    setMinimumWidth(Metrics::sidebarMinWidth);
    setMaximumWidth(Metrics::sidebarMaxWidth);

    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);

    // Brand header.
    auto* brand = new QWidget(this);
    brand->setObjectName(QStringLiteral("brandHeader"));
    auto* brandRow = new QHBoxLayout(brand);
    // 18 below the brand in all: 6 here and 12 at the top of the buttons' column, whose
    // margins leave room for the selected row's shadow.
    brandRow->setContentsMargins(18, 24, 18, 6);
    brandRow->setSpacing(Metrics::brandSpacing);
    brandRow->addWidget(new BrandMark(brand));
    auto* brandText = new QVBoxLayout;
    brandText->setSpacing(2);
    brandText->addStretch();
    auto* name = labels::make(QStringLiteral("razo"), TextStyle::Headline, QFont::Bold, ink(), brand);
    name->setObjectName(QStringLiteral("brandName"));
    auto* tagline =
        labels::make(QStringLiteral("本地消息工作台"), TextStyle::Caption, -1, secondaryText(), brand);
    tagline->setObjectName(QStringLiteral("brandTagline"));
    brandText->addWidget(name);
    brandText->addWidget(tagline);
    brandText->addStretch();
    brandRow->addLayout(brandText, 1);
    col->addWidget(brand);

    // Section buttons.
    auto* nav = new QWidget(this);
    nav->setObjectName(QStringLiteral("sidebarNav"));
    auto* navCol = new QVBoxLayout(nav);
    navCol->setContentsMargins(Metrics::sidebarPaddingH, 12, Metrics::sidebarPaddingH, 24);
    navCol->setSpacing(Metrics::navSpacing);
    for (AppSection s : appsection::all()) {
        auto* b = new SidebarNavButton(s, nav);
        // toggled, not clicked: assistive tools toggle the row without a click.
        connect(b, &QAbstractButton::toggled, this, [this, s](bool checked) {
            if (checked)
                m_store.setSelectedSection(s);
        });
        b->installEventFilter(this);
        navCol->addWidget(b);
        m_buttons << b;
    }
    col->addWidget(nav);
    col->addStretch(1);

    // Footer.
    auto* footerBox = new QWidget(this);
    auto* footerCol = new QVBoxLayout(footerBox);
    footerCol->setContentsMargins(Metrics::sidebarPaddingH, 0, Metrics::sidebarPaddingH,
                                  Metrics::footerBottom);
    m_footer = new SidebarFooterView(store, footerBox);
    footerCol->addWidget(m_footer);
    col->addWidget(footerBox);

    connect(&store, &BridgeStore::selectedSectionChanged, this, &SidebarView::syncSelection);
    syncSelection();
}

SidebarNavButton* SidebarView::button(AppSection section) const
{
    for (SidebarNavButton* b : m_buttons) {
        if (b->section() == section)
            return b;
    }
    return nullptr;
}

void SidebarView::syncSelection()
{
    SidebarNavButton* focused = nullptr;
    SidebarNavButton* selected = nullptr;
    for (SidebarNavButton* b : m_buttons) {
        if (b->hasFocus())
            focused = b;
        b->setSelected(b->section() == m_store.selectedSection());
        b->setFocusPolicy(b->isSelected() ? Qt::StrongFocus : Qt::ClickFocus);
        if (b->isSelected())
            selected = b;
    }
    if (focused && selected && focused != selected)
        selected->setFocus(focused->showsFocusRing() ? Qt::TabFocusReason : Qt::OtherFocusReason);
}

bool SidebarView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const int step = key == Qt::Key_Down || key == Qt::Key_Right ? 1
                     : key == Qt::Key_Up || key == Qt::Key_Left  ? -1
                                                                 : 0;
    if (step == 0)
        return QWidget::eventFilter(watched, event);
    const QList<AppSection> all = appsection::all();
    const qsizetype at = all.indexOf(m_store.selectedSection());
    m_store.setSelectedSection(all.at((at + step + all.size()) % all.size()));
    return true;
}

void SidebarView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), AppTheme::sidebarBackground());
    // Hairline between the sidebar and the detail column.
    p.fillRect(QRect(width() - 1, 0, 1, height()), AppTheme::rgb(0, 0, 0, 0.07));
}
