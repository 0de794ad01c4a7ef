#include "ui/settings/WeComDiagnosticsCard.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/MetricCard.h"
#include "ui/common/ProminentButton.h"
#include "ui/common/StatusPill.h"
#include "ui/common/SymbolIcons.h"
#include "ui/settings/StatusTintColor.h"
#include "ui/settings/logic/WeComDiagnosticsPresentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

WeComDiagnosticsCard::WeComDiagnosticsCard(BridgeStore& store, QWidget* parent)
    : SettingsCard(wecomdiag::cardTitle(), parent), m_store(store)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("wecomDiagnosticsCard"));

    // Verdict, headline and message, scan button.
    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    m_pill = new StatusPill(QString(), QString(), systemRed(), this);
    m_pill->setObjectName(QStringLiteral("wecomVerdictPill"));
    top->addWidget(m_pill, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    m_headline = labels::make(QString(), TextStyle::Headline, -1, ink(), this);
    m_headline->setObjectName(QStringLiteral("wecomHeadline"));
    m_headline->setWordWrap(true);
    m_message = labels::make(QString(), TextStyle::Callout, -1, secondaryText(), this);
    m_message->setObjectName(QStringLiteral("wecomMessage"));
    m_message->setWordWrap(true);
    texts->addWidget(m_headline);
    texts->addWidget(m_message);
    top->addLayout(texts, 1);
    m_scan = new ProminentButton(wecomdiag::scanLabel(false), QStringLiteral("list.bullet.rectangle"), this);
    m_scan->setObjectName(QStringLiteral("scanWeComButton"));
    top->addWidget(m_scan, 0, Qt::AlignTop);
    body()->addLayout(top);

    // Source tiles.
    auto* tiles = new QHBoxLayout;
    tiles->setSpacing(14);
    for (int i = 0; i < 3; ++i) {
        auto* tile = new MetricCard(QString(), QString(), QString(), this);
        tile->setObjectName(QStringLiteral("wecomSourceTile%1").arg(i));
        tiles->addWidget(tile, 1, Qt::AlignTop);
        m_tiles << tile;
    }
    body()->addLayout(tiles);

    // Advice.
    m_advice = new QVBoxLayout;
    m_advice->setSpacing(8);
    m_advice->addWidget(
        labels::make(wecomdiag::adviceTitle(), TextStyle::Subheadline, QFont::DemiBold, ink(), this));
    auto* note = labels::make(wecomdiag::adviceNote(), TextStyle::Caption, -1, ink(), this);
    note->setObjectName(QStringLiteral("wecomAdviceNote"));
    note->setWordWrap(true);
    m_advice->addWidget(note);
    body()->addLayout(m_advice);

    connect(m_scan, &QAbstractButton::clicked, this, [this] {
        if (!m_store.isScanningWeCom())
            m_store.scanVisibleWeCom(); // runs on; the store reports the outcome and refreshes
    });
    connect(&store, &BridgeStore::stateChanged, this, &WeComDiagnosticsCard::refresh);
    connect(&store, &BridgeStore::isScanningWeComChanged, this, &WeComDiagnosticsCard::refresh);
    refresh();
}

QStringList WeComDiagnosticsCard::recommendationTexts() const
{
    QStringList out;
    for (QWidget* row : m_recommendationRows)
        out << row->accessibleName();
    return out;
}

void WeComDiagnosticsCard::refresh()
{
    using namespace AppTheme;
    const bool scanning = m_store.isScanningWeCom();
    m_scan->setLabel(wecomdiag::scanLabel(scanning));
    m_scan->setEnabled(!scanning);

    const auto diagnostic = wecomdiag::wecomDiagnostic(m_store.state());
    setVisible(diagnostic.has_value());
    if (!diagnostic)
        return;

    const StatusLook verdict = wecomdiag::cardVerdict(*diagnostic);
    m_pill->set(verdict.title, verdict.icon, statusTintColor(verdict.tint));
    m_headline->setText(diagnostic->headline.value_or(wecomdiag::fallbackHeadline()));
    m_message->setText(diagnostic->message.value_or(QString()));
    m_message->setVisible(!m_message->text().isEmpty());

    const QList<wecomdiag::SourceTile> tiles = wecomdiag::sourceTiles(*diagnostic);
    for (int i = 0; i < m_tiles.size() && i < tiles.size(); ++i)
        m_tiles[i]->set(tiles[i].title, tiles[i].value, tiles[i].subtitle);

    // Advice rows are identified by position: rebuilt whole each time.
    qDeleteAll(m_recommendationRows);
    m_recommendationRows.clear();
    for (const QString& text : wecomdiag::recommendationRows(*diagnostic)) {
        auto* row = new QWidget(this);
        row->setObjectName(QStringLiteral("wecomRecommendation"));
        row->setAccessibleName(text);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(8);
        auto* icon = new QLabel(row);
        const int size = pixelSize(TextStyle::Caption);
        icon->setPixmap(SymbolIcons::pixmap(QStringLiteral("arrow.turn.down.right"), size, secondaryText(),
                                            devicePixelRatioF()));
        icon->setFixedSize(size, size);
        icon->setContentsMargins(0, 0, 0, 0);
        auto* iconBox = new QVBoxLayout;
        iconBox->setContentsMargins(0, 2, 0, 0);
        iconBox->addWidget(icon);
        iconBox->addStretch(1);
        line->addLayout(iconBox);
        auto* label = labels::make(text, TextStyle::Caption, -1, secondaryText(), row);
        label->setWordWrap(true);
        line->addWidget(label, 1, Qt::AlignTop);
        m_advice->addWidget(row);
        m_recommendationRows << row;
    }
}
