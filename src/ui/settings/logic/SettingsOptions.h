#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// The value sets of the settings pickers, as (stored value, label) pairs in display order.
namespace settingsoptions {

using Option = QPair<QString, QString>; // value, label

// 系统通知数据库, 辅助功能, OCR 识别（不推荐） (only when the reader supports OCR), 测试数据.
QList<Option> readerSources(bool supportsOCR);
// 收到消息就整理, 只整理白名单.
QList<Option> wecomRules();
// DeepSeek（默认）, Qwen / 通义, 本地 Ollama, OpenAI 兼容网关.
QList<Option> aiProviders();

// Why a reader source cannot read on this system ("Linux 上不可用": the core reads the chat
// clients from their desktop notifications only), empty when it can. The picker shows such a
// source disabled, with the reason.
QString unavailableReason(const QString& source);

// Index of `value` among the options, -1 when it matches none (the picker then shows no
// selection and the draft keeps the value).
int indexOf(const QList<Option>& options, const QString& value);

// The source a reader without OCR must use instead of `source`: "notification-db" when the
// source is empty or exactly "ocr"; nothing to change otherwise, and never for an OCR reader.
std::optional<QString> normalizedSource(const QString& source, bool supportsOCR);

} // namespace settingsoptions
