// Shared components: icons, fonts, shadows, segmented control, buttons, switch.
#include "ui/common/AppAppearance.h"
#include "ui/common/AppTheme.h"
#include "ui/common/BorderedButton.h"
#include "ui/common/BrandMark.h"
#include "ui/common/HeaderRow.h"
#include "ui/common/MetricCard.h"
#include "ui/common/ProminentButton.h"
#include "ui/common/SegmentButton.h"
#include "ui/common/SegmentedControl.h"
#include "ui/common/ShadowCaster.h"
#include "ui/common/SoftCard.h"
#include "ui/common/StatusPill.h"
#include "ui/common/SymbolIcons.h"
#include "ui/common/ToggleSwitch.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QTextLayout>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// Count of pixels whose colour is close to `c` (alpha > 0).
int pixelsNear(const QImage& img, const QColor& c, int tolerance = 40)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (p.alpha() > 128 && std::abs(p.red() - c.red()) < tolerance &&
                std::abs(p.green() - c.green()) < tolerance && std::abs(p.blue() - c.blue()) < tolerance)
                ++n;
        }
    }
    return n;
}

} // namespace

class TestComponents : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { appearance::apply(*qApp); }

    void symbolRendersInTint_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& n : SymbolIcons::names())
            QTest::newRow(qPrintable(n)) << n;
    }
    void symbolRendersInTint()
    {
        QFETCH(QString, name);
        const QColor tint = AppTheme::violetAccent();
        const QPixmap pm = SymbolIcons::pixmap(name, 32, tint);
        QVERIFY2(!pm.isNull(), "bundled icon missing");
        const QImage img = pm.toImage();
        // A line icon covers a fair part of its box, all of it in the tint colour.
        QVERIFY2(pixelsNear(img, tint) > 32 * 32 / 30, qPrintable(name));
        QCOMPARE(pixelsNear(img, Qt::black), 0);
    }

    void unknownSymbolIsEmpty()
    {
        QVERIFY(!SymbolIcons::has(QStringLiteral("bolt.fill")));
        QVERIFY(SymbolIcons::pixmap(QStringLiteral("bolt.fill"), 16, Qt::red).isNull());
    }

    void filledSymbolKnocksOutItsMark()
    {
        // The check of "checkmark.circle.fill" shows what lies behind: transparent, not white.
        const QImage img =
            SymbolIcons::pixmap(QStringLiteral("checkmark.circle.fill"), 48, Qt::red).toImage();
        const QColor onCheck = img.pixelColor(qRound(48 * 10.6 / 24), qRound(48 * 15.5 / 24));
        const QColor onDisc = img.pixelColor(qRound(48 * 12.0 / 24), qRound(48 * 5.0 / 24));
        QCOMPARE(onCheck.alpha(), 0);
        QVERIFY(onDisc.alpha() > 200);
        QCOMPARE(onDisc.red(), 255);
    }

    void chineseTextUsesSimplifiedGlyphs()
    {
        QTextLayout layout(QStringLiteral("本地消息工作台 razo"), AppTheme::font(AppTheme::TextStyle::Body));
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QStringList families;
        for (const QGlyphRun& run : layout.glyphRuns())
            families << run.rawFont().familyName();
        QVERIFY2(families.contains(QStringLiteral("Noto Sans CJK SC")), qPrintable(families.join(',')));
        QVERIFY(!families.contains(QStringLiteral("Noto Sans CJK JP")));
    }

    void cardShadowPaintsBelowTheCard()
    {
        QWidget host;
        host.setAutoFillBackground(true);
        QPalette pal;
        pal.setColor(QPalette::Window, Qt::white);
        host.setPalette(pal);
        host.resize(200, 160);
        auto* card = new SoftCard(24, 20, &host);
        card->setGeometry(40, 20, 120, 80);
        QVERIFY(ShadowCaster::shadowOf(card).has_value());
        const QImage img = host.grab().toImage();
        // The shadow falls 10 down: just below the card it darkens the white host...
        QVERIFY(img.pixelColor(100, 106).lightness() < 255);
        // ...but not above the card, and not far away.
        QCOMPARE(img.pixelColor(100, 14).lightness(), 255);
        QCOMPARE(img.pixelColor(100, 150).lightness(), 255);
        card->setShadow(std::nullopt);
        QCOMPARE(host.grab().toImage().pixelColor(100, 106).lightness(), 255);
    }

    void segmentedControlKeyboardAndClicks()
    {
        SegmentedControl seg(QStringLiteral("来源"), {{QStringLiteral("all"), QStringLiteral("全部")},
                                                      {QStringLiteral("wechat"), QStringLiteral("微信")},
                                                      {QStringLiteral("wecom"), QStringLiteral("企业微信")}});
        seg.resize(300, 28);
        seg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&seg));
        QSignalSpy spy(&seg, &SegmentedControl::currentValueChanged);
        QCOMPARE(seg.currentValue(), QStringLiteral("all"));

        QTest::mouseClick(seg.segment(2), Qt::LeftButton);
        QCOMPARE(seg.currentValue(), QStringLiteral("wecom"));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.last().first().toString(), QStringLiteral("wecom"));

        seg.segment(2)->setFocus();
        QTest::keyClick(seg.segment(2), Qt::Key_Left);
        QCOMPARE(seg.currentValue(), QStringLiteral("wechat"));
        QVERIFY(seg.segment(1)->hasFocus());
        QTest::keyClick(seg.segment(1), Qt::Key_Home);
        QCOMPARE(seg.currentValue(), QStringLiteral("all"));
        QCOMPARE(spy.size(), 3);
        // Only the selected segment is checked, and it alone is in the Tab chain.
        QVERIFY(seg.segment(0)->isChecked() && !seg.segment(1)->isChecked() && !seg.segment(2)->isChecked());
        QCOMPARE(seg.segment(0)->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(seg.segment(2)->focusPolicy(), Qt::ClickFocus);

        // Programmatic selection does not echo a signal; a value no option stands for
        // shows no selection at all (the stored value is the caller's to keep).
        seg.setCurrentValue(QStringLiteral("wecom"));
        seg.setCurrentValue(QStringLiteral("sms"));
        QCOMPARE(seg.currentIndex(), -1);
        QCOMPARE(seg.currentValue(), QString());
        QVERIFY(!seg.segment(0)->isChecked() && !seg.segment(1)->isChecked() && !seg.segment(2)->isChecked());
        QCOMPARE(seg.segment(0)->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(spy.size(), 3);
        QTest::mouseClick(seg.segment(1), Qt::LeftButton); // and a click selects again
        QCOMPARE(seg.currentValue(), QStringLiteral("wechat"));
        QCOMPARE(spy.size(), 4);
        QCOMPARE(seg.segment(1)->accessibleName(), QStringLiteral("微信"));
    }

    void busyButtonKeepsItsSizeAndDisabledIgnoresClicks()
    {
        ProminentButton b(QStringLiteral("发送"), QStringLiteral("paperplane.fill"));
        b.resize(b.sizeHint());
        b.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b));
        const QSize before = b.sizeHint();
        b.setBusy(true);
        QCOMPARE(b.sizeHint(), before);
        QVERIFY(b.findChild<QWidget*>(QStringLiteral("miniSpinner"))->isVisible());
        QSignalSpy clicked(&b, &QAbstractButton::clicked);
        b.setEnabled(false);
        QTest::mouseClick(&b, Qt::LeftButton);
        QCOMPARE(clicked.size(), 0);
        b.setEnabled(true);
        QTest::mouseClick(&b, Qt::LeftButton);
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(b.accessibleName(), QStringLiteral("发送"));
    }

    void pillSizeFollowsTitle()
    {
        StatusPill pill(QStringLiteral("可读"), QStringLiteral("checkmark.circle.fill"),
                        AppTheme::systemGreen());
        const int shortW = pill.sizeHint().width();
        pill.set(QStringLiteral("无法全量读取"), QStringLiteral("xmark.octagon.fill"), AppTheme::systemRed());
        QVERIFY(pill.sizeHint().width() > shortW);
        QCOMPARE(pill.accessibleName(), QStringLiteral("无法全量读取"));
        pill.resize(pill.sizeHint());
        // The capsule and the text are painted in the tint.
        const QImage img = pill.grab().toImage();
        QVERIFY(pixelsNear(img, AppTheme::systemRed(), 30) > 20);
    }

    void toggleSwitchToggles()
    {
        ToggleSwitch sw(QStringLiteral("启用 AI 对话分析"));
        sw.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sw));
        QSignalSpy toggled(&sw, &QAbstractButton::toggled);
        QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(sw.width() - 8, sw.height() / 2));
        QVERIFY(sw.isChecked());
        QTest::keyClick(&sw, Qt::Key_Space);
        QVERIFY(!sw.isChecked());
        QCOMPARE(toggled.size(), 2);
        QCOMPARE(sw.accessibleName(), QStringLiteral("启用 AI 对话分析"));
    }

    void brandMarkHasTheAppIcon()
    {
        BrandMark mark;
        QVERIFY(mark.hasImage());
        QCOMPARE(mark.size(), QSize(42, 42));
        const QIcon icon = BrandMark::appIcon();
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.availableSizes().size(), 5);
        // Rendered on demand at the size asked for, the same artwork as the mark.
        for (int side : {16, 48, 256}) {
            const QImage img = icon.pixmap(QSize(side, side), 1.0).toImage();
            QCOMPARE(img.size(), QSize(side, side));
            QCOMPARE(img, BrandMark::iconPixmap(side).toImage().convertToFormat(img.format()));
        }
    }

    // Renders a gallery of the components when RAZO_UI_DUMP_DIR is set (for looking at them).
    void gallery()
    {
        const QString dir = qEnvironmentVariable("RAZO_UI_DUMP_DIR");
        if (dir.isEmpty())
            QSKIP("set RAZO_UI_DUMP_DIR to write the component gallery");
        QWidget page;
        page.setAutoFillBackground(true);
        page.resize(720, 520);
        auto* col = new QVBoxLayout(&page);
        col->setContentsMargins(28, 24, 28, 24);
        col->setSpacing(18);
        col->addWidget(
            new HeaderRow(QStringLiteral("设置与接入"), QStringLiteral("手机访问、消息来源和 AI 网关")));
        auto* card = new SoftCard(24, 20);
        auto* inner = new QWidget;
        auto* row = new QHBoxLayout(inner);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(14);
        row->addWidget(new StatusPill(QStringLiteral("可读取快照"), QStringLiteral("checkmark.circle.fill"),
                                      AppTheme::systemGreen()));
        row->addWidget(new StatusPill(QStringLiteral("有限读取"),
                                      QStringLiteral("exclamationmark.triangle.fill"),
                                      AppTheme::systemOrange()));
        row->addStretch();
        row->addWidget(new BorderedButton(QStringLiteral("复制"), QString()));
        row->addWidget(
            new ProminentButton(QStringLiteral("保存全部设置"), QStringLiteral("checkmark.circle")));
        card->addWidget(inner);
        col->addWidget(card);
        auto* tiles = new QHBoxLayout;
        tiles->setSpacing(14);
        tiles->addWidget(new MetricCard(QStringLiteral("系统通知记录"), QStringLiteral("128"),
                                        QStringLiteral("通知权限已开启，但记录数决定能否读取")));
        tiles->addWidget(new MetricCard(QStringLiteral("本地会话快照"), QStringLiteral("可读取"),
                                        QStringLiteral("最近会话：12")));
        col->addLayout(tiles);
        auto* seg = new SegmentedControl(QStringLiteral("分类"), {{"all", "全部"},
                                                                  {"todo", "待办"},
                                                                  {"important", "重要"},
                                                                  {"meeting", "会议"},
                                                                  {"followUp", "稍后"}});
        seg->setMaximumWidth(410);
        col->addWidget(seg);
        auto* sw = new ToggleSwitch(QStringLiteral("启用 AI 对话分析"));
        sw->setChecked(true);
        col->addWidget(sw);
        auto* icons = new QLabel;
        QPixmap strip(SymbolIcons::names().size() * 26, 24);
        strip.fill(Qt::transparent);
        {
            QPainter p(&strip);
            int x = 0;
            for (const QString& n : SymbolIcons::names()) {
                SymbolIcons::paint(p, QRectF(x, 0, 22, 22), n, AppTheme::ink());
                x += 26;
            }
        }
        icons->setPixmap(strip);
        col->addWidget(icons);
        col->addWidget(new BrandMark);
        col->addStretch();
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QVERIFY(page.grab().save(dir + QStringLiteral("/components.png")));
    }
};

QTEST_MAIN(TestComponents)
#include "tst_components.moc"
