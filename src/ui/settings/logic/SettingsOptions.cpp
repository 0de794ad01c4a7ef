#include "ui/settings/logic/SettingsOptions.h"

#include "ui/settings/logic/NativeSettingsDraft.h"

namespace settingsoptions {

QList<Option> readerSources(bool supportsOCR)
{
    QList<Option> options{{QStringLiteral("notification-db"), QStringLiteral("系统通知数据库")},
                          {QStringLiteral("accessibility"), QStringLiteral("辅助功能")}};
    if (supportsOCR)
        options.append({QStringLiteral("ocr"), QStringLiteral("OCR 识别（不推荐）")});
    options.append({QStringLiteral("mock"), QStringLiteral("测试数据")});
    return options;
}

QList<Option> wecomRules()
{
    return {{QStringLiteral("all_incoming"), QStringLiteral("收到消息就整理")},
            {QStringLiteral("allowlist"), QStringLiteral("只整理白名单")}};
}

QList<Option> aiProviders()
{
    return {{QStringLiteral("deepseek"), QStringLiteral("DeepSeek（默认）")},
            {QStringLiteral("qwen"), QStringLiteral("Qwen / 通义")},
            {QStringLiteral("ollama"), QStringLiteral("本地 Ollama")},
            {QStringLiteral("openai-compatible"), QStringLiteral("OpenAI 兼容网关")}};
}

QString unavailableReason(const QString& source)
{
#ifdef Q_OS_LINUX
    if (source == QStringLiteral("accessibility") || source == QStringLiteral("ocr"))
        return QStringLiteral("Linux 上不可用");
#else
    Q_UNUSED(source);
#endif
    return {};
}

int indexOf(const QList<Option>& options, const QString& value)
{
    for (int i = 0; i < options.size(); ++i) {
        if (options.at(i).first == value)
            return i;
    }
    return -1;
}

std::optional<QString> normalizedSource(const QString& source, bool supportsOCR)
{
    if (supportsOCR)
        return std::nullopt;
    if (source.isEmpty() || source == QStringLiteral("ocr"))
        return NativeSettingsDraft::defaultSource();
    return std::nullopt;
}

} // namespace settingsoptions
