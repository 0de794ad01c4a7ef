#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>

// Fails the current input: libFuzzer keeps it as a crash, the replay test fails on it.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

// The index of the first unpaired surrogate at or after `from`, else -1.
inline qsizetype nextUnpairedSurrogate(const QString& text, qsizetype from = 0)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            return i;
    }
    return -1;
}

inline bool isValidUtf16(const QString& text)
{
    return nextUnpairedSurrogate(text) < 0;
}

// The text with every unpaired surrogate replaced by U+FFFD.
inline QString withoutUnpairedSurrogates(QString text)
{
    for (qsizetype i = nextUnpairedSurrogate(text); i >= 0; i = nextUnpairedSurrogate(text, i + 1))
        text[i] = QChar::ReplacementCharacter;
    return text;
}

// Turns fuzz bytes into the values the derivations work on. Texts are built from pieces:
// words the rules look for, characters that tend to break text handling (unpaired
// surrogates, line terminators, combining marks, characters whose case folding or
// normalisation changes their length), raw UTF-16 units, raw UTF-8 and long repeats. Reading
// past the end yields zeros, so every input is usable.
class FuzzInput
{
public:
    // Upper bound of UTF-16 units made per input: enough for a quadratic step to show up as
    // a time-out, small enough that linear work stays fast.
    static constexpr qsizetype kUnitBudget = 1 << 17;

    FuzzInput(const uint8_t* data, size_t size) : m_pos(data), m_end(data + size) {}

    bool atEnd() const { return m_pos == m_end; }
    uint8_t byte() { return m_pos < m_end ? *m_pos++ : 0; }
    bool flag() { return byte() & 1; }
    // 0 to n inclusive (n at most 255).
    int upTo(int n) { return n > 0 ? byte() % (n + 1) : 0; }
    qint64 integer()
    {
        quint64 v = 0;
        for (int i = 0; i < 8; ++i)
            v = (v << 8) | byte();
        return qint64(v);
    }

    QString text()
    {
        QString out;
        const int pieces = upTo(12);
        for (int i = 0; i < pieces && !atEnd(); ++i)
            appendPiece(out, 1);
        return out;
    }
    std::optional<QString> maybeText() { return byte() % 4 == 0 ? std::nullopt : std::optional(text()); }
    QStringList list()
    {
        QStringList out;
        const int n = upTo(8);
        for (int i = 0; i < n && !atEnd(); ++i)
            out.append(text());
        return out;
    }
    std::optional<QStringList> maybeList() { return byte() % 4 == 0 ? std::nullopt : std::optional(list()); }
    std::optional<bool> maybeFlag()
    {
        const uint8_t b = byte();
        return b % 3 == 0 ? std::nullopt : std::optional(b % 3 == 1);
    }

    // One of the given values, or an arbitrary text.
    template <size_t N> QString oneOf(const std::array<const char16_t*, N>& values)
    {
        const int i = upTo(int(N));
        return i < int(N) ? QString::fromUtf16(values[size_t(i)]) : text();
    }

private:
    void appendPiece(QString& out, int depth)
    {
        const uint8_t selector = byte();
        if (selector < vocabulary().size()) {
            add(out, QString::fromUtf16(vocabulary()[selector]));
            return;
        }
        switch (selector % 6) {
        case 0: // one raw UTF-16 unit: unpaired surrogates included
            add(out, QString(QChar(char16_t(byte() | (byte() << 8)))));
            break;
        case 1: { // raw UTF-8, invalid sequences included
            const int n = upTo(32);
            QByteArray bytes;
            for (int i = 0; i < n; ++i)
                bytes.append(char(byte()));
            add(out, QString::fromUtf8(bytes));
            break;
        }
        case 2: // a run of digits
            add(out, QString(upTo(24) + 1, QChar(u'0' + byte() % 10)));
            break;
        case 3: // half of a surrogate pair
            add(out, QString(QChar(char16_t((flag() ? 0xd800 : 0xdc00) + byte()))));
            break;
        default: { // the next piece, repeated up to 128 times, now and then up to 65536 times
            if (depth > 2)
                break;
            QString piece;
            appendPiece(piece, depth + 1);
            const uint8_t b = byte();
            const qsizetype times = qsizetype(1) << (b >= 0xf8 ? 8 + b % 9 : b % 8);
            if (piece.isEmpty())
                break;
            const qsizetype fit = (kUnitBudget - m_units) / piece.size();
            add(out, piece.repeated(std::min(times, fit)));
            break;
        }
        }
    }

    void add(QString& out, const QString& piece)
    {
        if (m_units + piece.size() > kUnitBudget)
            return;
        m_units += piece.size();
        out += piece;
    }

    static std::span<const char16_t* const> vocabulary();

    const uint8_t* m_pos;
    const uint8_t* m_end;
    qsizetype m_units = 0;
};

inline std::span<const char16_t* const> FuzzInput::vocabulary()
{
    // The words of every keyword rule, the clients, times and labels, and awkward characters.
    // clang-format off
    static const char16_t* const words[] = {
        u"需要", u"麻烦", u"尽快", u"截止", u"请于", u"流程到达", u"待处理", u"待确认", u"待回复", u"确认", u"安排", u"处理", u"提交",
        u"回复", u"无需回复", u"不用回复", u"不需回复", u"无需回", u"不用回", u"收到即可", u"@所有人", u"@全体", u"所有人", u"全体", u"通知",
        u"公告", u"吗", u"？", u"?", u"是否", u"有没有", u"要不要", u"会议", u"开会", u"参会", u"与会", u"例会", u"纪要", u"议程",
        u"会议室", u"腾讯会议", u"飞书会议", u"参会名单", u"Zoom", u"zoom", u"ZOOM", u"稍后", u"跟进", u"催", u"提醒", u"核实",
        u"昨天刚开会", u"已开会", u"已经开会", u"开会推动", u"会议纪要", u"纪要已", u"与会人员", u"参会人员", u"会议通知", u"召开", u"参加", u"明天",
        u"今天", u"上午", u"下午", u"晚上", u"周一", u"周五", u"点", u"：", u":", u"日报", u"本日新增", u"今日新增", u"本周", u"付款",
        u"回款", u"报修", u"审批", u"补充", u"发送", u"提供", u"登记", u"查看", u"协调", u"我", u"我们", u"本人", u"自己", u"@我",
        u"@了你", u"提到我", u"和我相关", u"与我相关", u"有没有我", u"需要我", u"让我", u"找我", u"我的", u"会要开", u"开什么会", u"会议名单",
        u"名单有没有我", u"已", u"已经", u"持续", u"正在", u"会", u"关注", u"推动", u"沟通", u"邀请", u"请", u"假", u"柬", u"帖",
        u"愿", u"，", u"。", u"；", u";", u"企业微信", u"企微", u"微信", u"wecom", u"WeCom", u"WEWORK", u"wechat",
        u"WeChat", u"企业微信｜", u"微信｜", u"｜", u"2024-05-01T10:00:00+08:00)", u"2024-05-01T10:00:00Z)",
        u"2024-05-01T10:00:00", u"+0800", u"(", u")", u"张三", u"李四", u"zhangsan", u"ZhangSan", u"群A", u"项目群",
        u"-", u"#", u"（暂无正文）", u"未命名会话", u"ocr", u"notification-db", u"accessibility", u"all_incoming",
        u"deepseek", u" ", u"  ", u"\t", u"\n", u"\r", u"\r\n", u"\u000b", u"\u000c", u"\u0085", u"\u00a0",
        u"\u1680", u"\u180e", u"\u2000", u"\u2028", u"\u2029", u"\u3000", u"\ufeff", u"\u200b", u"\u0301",
        u"e\u0301", u"\u00e9", u"\ufb03", u"\u00df", u"\u0130", u"\u0131", u"\u03a3", u"\u03c2",
        u"\uff21\uff22\uff23", u"\u210c", u"\u2460", u"\u0661\u0662", u"\U0001d7d8", u"\U0001f600",
        u"\U00020000", u"\u1100\u1161", u"\u1161", u"\u11a8", u"\uac00", u"\u3131\u314f", u"\uff76\uff9e",
        u"\u0f73", u"\u0344", u"\u0316", u"\u2026", u"0", u"12", u"1", u"abc", u"ABC", u"a", u"A",
        u"\u4e00", u"\u9fff", u"\\", u"\"", u"{}", u"[]", u"null",
    };
    // clang-format on
    static_assert(std::size(words) <= 240); // the rest of the selector byte picks the other pieces
    return words;
}
