#include "store/KeywordList.h"

#include <QtTest>

class TestKeywordList : public QObject
{
    Q_OBJECT

private slots:
    void foundIn_data();
    void foundIn();
};

void TestKeywordList::foundIn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("caseInsensitive");
    QTest::addColumn<bool>("found");

    // Keywords: "会议", "Zoom", "😀会", "aab", "Ab"
    QTest::newRow("inside") << "明天开会议吧" << false << true;
    QTest::newRow("at the end") << "开会议" << false << true;
    QTest::newRow("cut off at the end") << "明天开会" << false << false;
    QTest::newRow("empty text") << "" << false << false;
    QTest::newRow("overlapping start") << "xaaab" << false << true;
    QTest::newRow("same first-unit bucket, other unit") << QString::fromUtf16(u"\u0081b") << false << false;
    QTest::newRow("surrogate pair keyword") << "x😀会" << false << true;
    QTest::newRow("latin case kept") << "zoom 链接" << false << false;
    QTest::newRow("latin ignoring case") << "zoom 链接" << true << true;
    QTest::newRow("latin ignoring case, other") << "aB" << true << true;
    QTest::newRow("nothing") << "大家好" << true << false;
}

void TestKeywordList::foundIn()
{
    QFETCH(QString, text);
    QFETCH(bool, caseInsensitive);
    QFETCH(bool, found);
    static const KeywordList sensitive{u"会议", u"Zoom", u"😀会", u"aab", u"Ab"};
    static const KeywordList insensitive({u"会议", u"Zoom", u"😀会", u"aab", u"Ab"}, Qt::CaseInsensitive);
    QCOMPARE((caseInsensitive ? insensitive : sensitive).foundIn(text), found);
}

QTEST_GUILESS_MAIN(TestKeywordList)
#include "tst_keywordlist.moc"
