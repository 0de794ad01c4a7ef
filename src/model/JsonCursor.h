#pragma once

#include <QByteArrayView>
#include <QString>
#include <string_view>

// A forward-only reader over the UTF-8 text of one JSON document (RFC 8259: strict
// grammar, valid UTF-8, no trailing commas, no comments). The decoder walks it straight
// into records, so object keys are matched on their bytes without building strings and
// numbers stay as written until a reader decides what they must be.
//
// Every call that consumes input returns false on a syntax error; the cursor then stays
// failed and remembers the byte offset.
class JsonCursor
{
public:
    enum class Kind { Object, Array, String, Number, Bool, Null, Invalid };
    enum class Step { Item, End, Error };

    static constexpr int kMaxDepth = 512;

    explicit JsonCursor(QByteArrayView text);

    // The kind of the next value (white space skipped), without consuming it.
    Kind peek();

    // Objects: beginObject() at '{', then nextMember(first) until End. After Item the
    // member's key is available and the cursor stands before its value.
    bool beginObject();
    Step nextMember(bool first);
    QByteArrayView keyBytes() const { return m_key; } // raw text between the quotes
    bool keyEscaped() const { return m_keyEscaped; }
    QString keyText() const; // the key with escapes resolved

    // Arrays: beginArray() at '[', then nextElement(first) until End.
    bool beginArray();
    Step nextElement(bool first);

    bool readString(QString& out);
    bool readBool(bool& out);
    bool readNull();
    bool readNumber(std::string_view& token); // the number exactly as written
    bool skipValue();
    // True when only white space is left; otherwise the cursor fails there.
    bool finish();

    bool failed() const { return m_failed; }
    qsizetype errorOffset() const { return m_errorOffset; }
    const char* errorReason() const { return m_errorReason; }

    // Decodes the text of a string already known to be valid.
    static QString decode(QByteArrayView raw, bool escaped);

private:
    bool fail(const char* reason);
    Step failStep(const char* reason);
    void skipSpace();
    bool scanString(QByteArrayView& raw, bool& escaped);
    bool scanUtf8(); // one multi-byte UTF-8 sequence at m_pos
    bool scanNumber(std::string_view& token);
    bool scanLiteral(std::string_view word);

    const char* m_begin;
    const char* m_pos;
    const char* m_end;
    int m_depth = 0;
    QByteArrayView m_key;
    bool m_keyEscaped = false;
    bool m_failed = false;
    qsizetype m_errorOffset = 0;
    const char* m_errorReason = "";
};
