#pragma once

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QGradientStops>
#include <QLinearGradient>
#include <QRectF>
#include <QStringList>

// razo's one palette and metrics header. Every colour, radius, spacing and text style
// that the views use comes from here; views never invent colours of their own.
//
// Lengths are logical pixels (one macOS point = one logical pixel), so font sizes are
// pixel sizes, independent of the screen's DPI setting.
namespace AppTheme {

// ---- Palette (sRGB, opaque unless an opacity is given) -------------------------------

inline QColor rgb(double r, double g, double b, double a = 1.0)
{
    return QColor::fromRgbF(r, g, b, a);
}
// A colour at another opacity (multiplies the existing alpha).
inline QColor withOpacity(QColor c, double opacity)
{
    c.setAlphaF(c.alphaF() * opacity);
    return c;
}

inline QColor windowBackground()
{
    return rgb(0.972, 0.982, 0.992);
} // detail area
inline QColor sidebarBackground()
{
    return rgb(0.952, 0.968, 0.984);
} // sidebar column
inline QColor cardBackground()
{
    return rgb(1, 1, 1, 0.96);
} // SoftCard, sidebar footer
inline QColor subtleBackground()
{
    return rgb(0.982, 0.987, 0.993);
} // inner tiles, list rows
inline QColor navSelectedBackground()
{
    return rgb(1, 1, 1, 0.9);
} // selected sidebar button
inline QColor border()
{
    return rgb(0.82, 0.86, 0.91, 0.72);
} // card outline
inline QColor softBorder()
{
    return rgb(0.80, 0.84, 0.90, 0.46);
} // tile outline
inline QColor ink()
{
    return rgb(0.08, 0.105, 0.15);
} // primary text
inline QColor mutedInk()
{
    return rgb(0.38, 0.43, 0.51);
} // header subtitles
inline QColor primaryAccent()
{
    return rgb(0.16, 0.45, 0.96);
} // accent blue
inline QColor violetAccent()
{
    return rgb(0.54, 0.28, 0.92);
} // accent violet
inline QColor warningAccent()
{
    return rgb(0.98, 0.58, 0.16);
} // accent orange
inline QColor successAccent()
{
    return rgb(0.12, 0.68, 0.42);
} // accent green
inline QColor brandTeal()
{
    return rgb(0.24, 0.78, 0.74);
} // middle stop of brandGradient

// ---- System colours (light appearance) ------------------------------------------------

inline QColor systemGreen()
{
    return rgb(0.204, 0.780, 0.349);
} // success, "ready"
inline QColor systemOrange()
{
    return rgb(1.0, 0.584, 0.0);
} // warnings, lastError
inline QColor systemRed()
{
    return rgb(1.0, 0.231, 0.188);
} // errors, important
inline QColor systemBlue()
{
    return rgb(0.0, 0.478, 1.0);
} // WeCom badge
inline QColor secondaryText()
{
    return rgb(0, 0, 0, 0.5);
} // secondary labels
inline QColor tertiaryText()
{
    return rgb(0, 0, 0, 0.26);
} // placeholders, disabled text
inline QColor separator()
{
    return rgb(0, 0, 0, 0.1);
} // hairlines, editor outlines
inline QColor controlBackground()
{
    return rgb(1, 1, 1);
} // text fields, editors ("standard background")
inline QColor shadowColor()
{
    return rgb(0, 0, 0);
} // base of every drop shadow

// ---- Brand gradient --------------------------------------------------------------------

// primaryAccent -> teal -> violetAccent.
inline QGradientStops brandGradientStops()
{
    return {{0.0, primaryAccent()}, {0.5, brandTeal()}, {1.0, violetAccent()}};
}
// The gradient laid from the top-leading to the bottom-trailing corner of rect.
inline QLinearGradient brandGradient(const QRectF& rect)
{
    QLinearGradient g(rect.topLeft(), rect.bottomRight());
    g.setStops(brandGradientStops());
    return g;
}

// ---- Radii ------------------------------------------------------------------------------

namespace Radius {
inline constexpr qreal navButton = 13;  // selected sidebar button
inline constexpr qreal footer = 20;     // sidebar status footer
inline constexpr qreal metricTile = 18; // MetricCard
inline constexpr qreal card = 24;       // dashboard and settings cards
inline constexpr qreal largeCard = 26;  // timeline / transcript / AI summary cards
inline constexpr qreal bubble = 20;     // chat bubbles
inline constexpr qreal input = 18;      // chat input field
inline constexpr qreal field = 8;       // single-line text fields
inline constexpr qreal editor = 10;     // multi-line editors
inline constexpr qreal segment = 8;     // segmented control track
inline constexpr qreal button = 9;      // bordered / prominent buttons
} // namespace Radius

// ---- Spacings and paddings ------------------------------------------------------------

namespace Metrics {
inline constexpr int sidebarMinWidth = 188;
inline constexpr int sidebarIdealWidth = 210;
inline constexpr int sidebarMaxWidth = 230;
inline constexpr int windowMinWidth = 1120;
inline constexpr int windowMinHeight = 760;

inline constexpr int brandSpacing = 11;    // BrandMark to the brand texts
inline constexpr int brandMarkSize = 42;   // BrandMark frame
inline constexpr int navSpacing = 7;       // between sidebar buttons
inline constexpr int navHeight = 42;       // one sidebar button
inline constexpr int navPaddingH = 13;     // inside a sidebar button
inline constexpr int navIconFrame = 22;    // icon frame of a sidebar button
inline constexpr int navIconSize = 15;     // icon glyph size of a sidebar button
inline constexpr int sidebarPaddingH = 12; // buttons and footer, left and right
inline constexpr int footerPadding = 14;   // inside the status footer
inline constexpr int footerSpacing = 8;    // between the footer lines
inline constexpr int footerBottom = 16;    // below the footer

inline constexpr int pagePaddingH = 28;   // section pages, left and right
inline constexpr int pagePaddingV = 24;   // section pages, top and bottom
inline constexpr int sectionSpacing = 18; // between cards of a page
inline constexpr int cardPadding = 20;    // inside a standard card
inline constexpr int cardSpacing = 14;    // between the rows of a card

inline constexpr int pillPaddingH = 12; // StatusPill
inline constexpr int pillPaddingV = 8;
inline constexpr int metricPadding = 16; // MetricCard
inline constexpr int metricSpacing = 9;

inline constexpr int toastPaddingH = 18; // toast capsule
inline constexpr int toastPaddingV = 10;
inline constexpr int toastBottom = 18; // gap below the toast
} // namespace Metrics

// ---- Shadows ----------------------------------------------------------------------------

// A drop shadow: colour (with its opacity), blur radius and offset.
struct ShadowSpec
{
    QColor color;
    qreal radius = 0;
    qreal dx = 0;
    qreal dy = 0;
};

inline ShadowSpec cardShadow()
{
    return {rgb(0, 0, 0, 0.045), 18, 0, 10};
} // SoftCard
inline ShadowSpec navSelectedShadow()
{
    return {rgb(0, 0, 0, 0.05), 12, 0, 7};
} // sidebar button
inline ShadowSpec brandMarkShadow()
{
    return {withOpacity(successAccent(), 0.22), 12, 0, 8};
}
inline ShadowSpec toastShadow()
{
    return {rgb(0, 0, 0, 0.33), 12, 0, 0};
} // toast capsule
inline ShadowSpec circleButtonShadow()
{
    return {rgb(0, 0, 0, 0.045), 10, 0, 6};
} // round icon buttons

// ---- Text styles --------------------------------------------------------------------------

enum class TextStyle {
    Title,       // 28, page titles (HeaderRow, dashboard title)
    Title3,      // 17, card titles
    Headline,    // 14 semibold, brand name, card title rows
    Body,        // 14, editors
    Callout,     // 13, list rows, buttons, subtitles
    Subheadline, // 12, pills, small headings
    Caption,     // 11, secondary lines, badges
    Caption2,    // 10, help texts, error text
};

inline int pixelSize(TextStyle style)
{
    switch (style) {
    case TextStyle::Title:
        return 28;
    case TextStyle::Title3:
        return 17;
    case TextStyle::Headline:
        return 14;
    case TextStyle::Body:
        return 14;
    case TextStyle::Callout:
        return 13;
    case TextStyle::Subheadline:
        return 12;
    case TextStyle::Caption:
        return 11;
    case TextStyle::Caption2:
        return 10;
    }
    return 13;
}

// Family list of every text: a Latin family first, then the Simplified Chinese one, so that
// Chinese text takes the Simplified glyph forms (left alone, fontconfig picks the Japanese
// forms of Noto Sans CJK on Debian), then the colour emoji font ahead of DejaVu Sans, whose
// black-and-white faces would otherwise stand in for emoji such as U+1F600. Families this
// system lacks are left out once, so that font matching does not ask fontconfig about them
// again and again. On Linux they are looked
// up in the installed families: QFontDatabase::hasFamily() runs a missing family through
// fontconfig's alias substitution first, which costs milliseconds at start-up.
inline QStringList fontFamilies()
{
    static const QStringList families = [] {
#ifdef Q_OS_MACOS
        const QStringList wanted = {QStringLiteral(".AppleSystemUIFont"), QStringLiteral("PingFang SC")};
#else
        const QStringList wanted = {QStringLiteral("Noto Sans"), QStringLiteral("Noto Sans CJK SC"),
                                    QStringLiteral("Noto Color Emoji"), QStringLiteral("DejaVu Sans")};
#endif
        QStringList present;
#ifdef Q_OS_MACOS
        // The system UI family is private: it is not listed among the installed ones.
        for (const QString& f : wanted) {
            if (QFontDatabase::hasFamily(f))
                present << f;
        }
#else
        const QStringList installed = QFontDatabase::families();
        for (const QString& f : wanted) {
            if (installed.contains(f, Qt::CaseInsensitive))
                present << f;
        }
#endif
        return present.isEmpty() ? wanted : present;
    }();
    return families;
}

// The font of a text style; weight defaults to the style's own (semibold for Headline).
inline QFont font(TextStyle style, int weight = -1)
{
    QFont f;
    f.setFamilies(fontFamilies());
    f.setPixelSize(pixelSize(style));
    if (weight < 0)
        weight = style == TextStyle::Headline ? QFont::DemiBold : QFont::Normal;
    f.setWeight(static_cast<QFont::Weight>(weight));
    return f;
}
// A plain system-font size (the icon glyph sizes and the 28-point title are given that way).
inline QFont systemFont(int pixels, QFont::Weight weight = QFont::Normal)
{
    QFont f;
    f.setFamilies(fontFamilies());
    f.setPixelSize(pixels);
    f.setWeight(weight);
    return f;
}
// The monospaced design at callout size (addresses).
inline QFont monospaceFont(TextStyle style = TextStyle::Callout)
{
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Noto Sans Mono CJK SC")});
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(pixelSize(style));
    return f;
}

// ---- Animation ----------------------------------------------------------------------------

inline constexpr int pressAnimationMs = 120; // pressed state of buttons
inline constexpr int toastAnimationMs = 500; // toast slide + fade (spring response 0.5 s)

} // namespace AppTheme
