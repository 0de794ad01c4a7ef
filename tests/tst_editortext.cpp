#include "ui/settings/logic/EditorText.h"

#include <QtTest>

// In the editor's raw text every line break is one paragraph separator.
static QString raw(const char16_t* text)
{
    return QString::fromUtf16(text).replace(u'|', QChar::ParagraphSeparator);
}

class TestEditorText : public QObject
{
    Q_OBJECT

private slots:
    void mergeEdit_data();
    void mergeEdit();
};

void TestEditorText::mergeEdit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("merged"); // "<none>": the editor did not show `text`

    const QString crlf = QStringLiteral("甲\u00a0乙\r\n丙");
    QTest::newRow("typed at the end")
        << crlf << raw(u"甲\u00a0乙|丙") << raw(u"甲\u00a0乙|丙丁") << QStringLiteral("甲\u00a0乙\r\n丙丁");
    QTest::newRow("typed before a CRLF")
        << crlf << raw(u"甲\u00a0乙|丙") << raw(u"甲\u00a0乙x|丙") << QStringLiteral("甲\u00a0乙x\r\n丙");
    QTest::newRow("lone CR on another line")
        << QStringLiteral("a\rb\nc") << raw(u"a|b|c") << raw(u"a|bX|c") << QStringLiteral("a\rbX\nc");
    QTest::newRow("line break typed is LF")
        << QStringLiteral("a\r\nb") << raw(u"a|b") << raw(u"a||b") << QStringLiteral("a\r\n\nb");
    QTest::newRow("joined lines drop the whole CRLF")
        << QStringLiteral("a\r\nb") << raw(u"a|b") << QStringLiteral("ab") << QStringLiteral("ab");
    QTest::newRow("paragraph separator of the text kept")
        << QStringLiteral("a\u2029b") << raw(u"a|b") << raw(u"a|bc") << QStringLiteral("a\u2029bc");
    QTest::newRow("pasted no-break space kept") << QStringLiteral("a") << QStringLiteral("a")
                                                << QStringLiteral("a\u00a0b") << QStringLiteral("a\u00a0b");
    QTest::newRow("all replaced") << crlf << raw(u"甲\u00a0乙|丙") << QStringLiteral("新")
                                  << QStringLiteral("新");
    QTest::newRow("emptied") << crlf << raw(u"甲\u00a0乙|丙") << QString() << QString();
    QTest::newRow("no change") << crlf << raw(u"甲\u00a0乙|丙") << raw(u"甲\u00a0乙|丙") << crlf;
    QTest::newRow("other text shown")
        << QStringLiteral("abc") << QStringLiteral("ab") << QStringLiteral("abx") << QStringLiteral("<none>");
}

void TestEditorText::mergeEdit()
{
    QFETCH(QString, text);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, merged);
    QCOMPARE(editortext::mergeEdit(text, before, after).value_or(QStringLiteral("<none>")), merged);
}

QTEST_APPLESS_MAIN(TestEditorText)
#include "tst_editortext.moc"
