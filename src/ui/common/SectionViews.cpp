#include "ui/common/SectionViews.h"

#include "store/BridgeStore.h"
#include "ui/chat/ChatView.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HeaderRow.h"
#include "ui/messages/MessagesView.h"
#include "ui/overview/OverviewView.h"
#include "ui/settings/SettingsDashboardView.h"

#include <QVBoxLayout>
#include <QWidget>

namespace {

// A section whose own view is not in this build yet: its heading and nothing else.
QWidget* headingOnlyPage(AppSection section, QWidget* parent)
{
    using namespace AppTheme::Metrics;
    auto* page = new QWidget(parent);
    page->setObjectName(QStringLiteral("section_") + appsection::identifier(section));
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(pagePaddingH, pagePaddingV, pagePaddingH, pagePaddingV);
    col->addWidget(new HeaderRow(appsection::title(section), QString(), page));
    col->addStretch(1);
    return page;
}

} // namespace

QWidget* createSectionView(AppSection section, BridgeStore& store, QWidget* parent)
{
    Q_UNUSED(store);
    switch (section) {
    case AppSection::Overview:
        return new OverviewView(&store, parent);
    case AppSection::Messages:
        return new MessagesView(store, parent);
    case AppSection::Chat:
        return new ChatView(store, parent);
    case AppSection::Settings:
        return new SettingsDashboardView(store, parent);
    }
    return headingOnlyPage(section, parent);
}
