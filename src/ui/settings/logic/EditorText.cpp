#include "ui/settings/logic/EditorText.h"

#include <QList>
#include <algorithm>

namespace {

constexpr QChar kParagraph = QChar::ParagraphSeparator;

// Where each unit of the editor's raw text starts in `text` (one entry per unit, plus the
// end): "\r\n" is one unit, every other character one.
QList<qsizetype> unitStarts(const QString& text)
{
    QList<qsizetype> starts;
    starts.reserve(text.size() + 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        starts.append(i);
        if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
    }
    starts.append(text.size());
    return starts;
}

} // namespace

namespace editortext {

QString plain(const QString& raw)
{
    QString text = raw;
    text.replace(kParagraph, QLatin1Char('\n'));
    return text;
}

std::optional<QString> mergeEdit(const QString& text, const QString& shownBefore, const QString& shownAfter)
{
    const QList<qsizetype> starts = unitStarts(text);
    if (starts.size() - 1 != shownBefore.size())
        return std::nullopt;
    // The edited span: what lies between the common beginning and the common end.
    const qsizetype shorter = std::min(shownBefore.size(), shownAfter.size());
    qsizetype head = 0;
    while (head < shorter && shownBefore[head] == shownAfter[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head &&
           shownBefore[shownBefore.size() - 1 - tail] == shownAfter[shownAfter.size() - 1 - tail])
        ++tail;
    const QString typed = plain(shownAfter.mid(head, shownAfter.size() - tail - head));
    const qsizetype from = starts[head];
    const qsizetype to = starts[shownBefore.size() - tail];
    return text.left(from) + typed + text.mid(to);
}

} // namespace editortext
