#pragma once

#include "model/BridgeStateResponse.h"
#include "ui/settings/logic/StatusTint.h"

#include <QList>
#include <QStringList>
#include <optional>

// What the settings section shows of the core's WeCom read diagnostics: the card's verdict
// pill, the WeCom reader editor's status, the three source tiles and the advice rows.
// Pure functions of the diagnostics record (and of the draft's WeCom switch).
namespace wecomdiag {

// The reader editor's status: the pill look plus the help line under the title.
struct EditorStatus
{
    StatusLook look;
    QString help;

    bool operator==(const EditorStatus&) const = default;
};

// One source tile (a MetricCard).
struct SourceTile
{
    QString title;
    QString value;
    QString subtitle;

    bool operator==(const SourceTile&) const = default;
};

// state → diagnostics → wecom; absent when any step is absent.
std::optional<WeComDiagnosticsSnapshot> wecomDiagnostic(const std::optional<BridgeStateResponse>& state);

// Pill of the diagnostics card.
StatusLook cardVerdict(const WeComDiagnosticsSnapshot& diagnostic);
// Status of the WeCom reader editor; `wecomEnabled` is the draft's WeCom switch.
EditorStatus editorStatus(const std::optional<WeComDiagnosticsSnapshot>& diagnostic, bool wecomEnabled);

// The three tiles in card order: notification records, local snapshot, accessibility sidebar.
QList<SourceTile> sourceTiles(const WeComDiagnosticsSnapshot& diagnostic);
QString snapshotSubtitle(const WeComDiagnosticsSnapshot& diagnostic);
QString sidebarSubtitle(const WeComDiagnosticsSnapshot& diagnostic);

// The first three advice lines (fewer when there are fewer), repeats kept.
QStringList recommendationRows(const WeComDiagnosticsSnapshot& diagnostic);

// Fixed texts of the card.
QString cardTitle();              // "企业微信读取诊断"
QString fallbackHeadline();       // "企业微信诊断"
QString adviceTitle();            // "建议"
QString adviceNote();             // the fixed note about OCR and the read order
QString scanLabel(bool scanning); // "立即读取企微消息" / "读取中"

} // namespace wecomdiag
