#pragma once

#include <QString>
#include <optional>

// How a multi-line plain-text editor holds a bound text, and how an edit made in it maps back
// onto that text. The editor keeps one paragraph per line: each line break of the text ("\n",
// "\r\n", a lone "\r" or U+2029) is one paragraph separator (U+2029) in the editor's raw text,
// and every other character is kept as it is. Reading the editor's plain text back instead
// would rewrite the whole field on any edit (every break as "\n", every no-break space as a
// space); merging an edit changes only the part the user edited.
namespace editortext {

// The plain text of an editor's raw text: paragraph separators become "\n".
QString plain(const QString& raw);

// Splices the change from `shownBefore` to `shownAfter` (raw texts of the editor) into
// `text`, which the editor showed as `shownBefore`. Lines the user typed end in "\n".
// nullopt when `shownBefore` is not what the editor shows for `text`.
std::optional<QString> mergeEdit(const QString& text, const QString& shownBefore, const QString& shownAfter);

} // namespace editortext
