// The attribute lists of pictures and Default elements, read by hand: every well-formed pair is
// found wherever it stands, anything else is skipped; and the digits-only edit.
#include <gtest/gtest.h>
#include <QLineEdit>

#include "UiTestSupport.h"

using namespace zor::ui;
using namespace zor::ui::test;

TEST(AttributeList, PicturePairsAreFoundAmongSpacesAndJunk) {
    const ImageRef ref = ImageRef::Parse(
        "  file = 'a b/c.svg'source='1,2,11,22'   junk corner=3 fade ='7' dest= 'x\"y' dest='0,0,5,5' "
        "corner='1,1,1,1'");
    EXPECT_EQ(ref.file, QStringLiteral("a b/c.svg"));
    EXPECT_EQ(ref.source, QRect(1, 2, 10, 20));
    EXPECT_EQ(ref.fade, 7);
    EXPECT_EQ(ref.dest, QRect(0, 0, 5, 5));  // the later pair wins; "x\"y" is no rectangle
    EXPECT_EQ(ref.corner, QMargins(1, 1, 1, 1));

    // An unterminated value is no pair, and the keys are not case-sensitive.
    const ImageRef open = ImageRef::Parse("FILE='p.png' fade='12");
    EXPECT_EQ(open.file, QStringLiteral("p.png"));
    EXPECT_EQ(open.fade, 255);
    // A pair whose key runs into other word characters is found from its first one.
    EXPECT_EQ(ImageRef::Parse("xfile='q.png'").file, QString());
    EXPECT_EQ(ImageRef::Parse("x file='q.png'").file, QStringLiteral("q.png"));
}

TEST(AttributeList, DefaultListsSetEveryDoubleQuotedPair) {
    CButtonUI button;
    button.ApplyAttributeList(
        QStringLiteral("text=\"Apply now\" tooltip = \"It's done\" bad=unquoted name=\"btn_1\" width=\"40"));
    EXPECT_EQ(button.GetText(), QStringLiteral("Apply now"));
    EXPECT_EQ(button.toolTip(), QStringLiteral("It's done"));
    EXPECT_EQ(button.GetName(), QStringLiteral("btn_1"));
    EXPECT_EQ(button.GetFixedWidth(), 0);  // unterminated
    EXPECT_EQ(button.GetAttribute(QStringLiteral("bad")), QString());
}

TEST(AttributeList, ANumberOnlyEditTakesDigitsAndNothingElse) {
    CEditUI edit;
    edit.SetAttribute(QStringLiteral("numberonly"), QStringLiteral("true"));
    QLineEdit* line = edit.LineEdit();
    QTest::keyClicks(line, QStringLiteral("12a3-4 +5."));
    EXPECT_EQ(line->text(), QStringLiteral("12345"));
    edit.SetAttribute(QStringLiteral("numberonly"), QStringLiteral("false"));
    QTest::keyClicks(line, QStringLiteral("x"));
    EXPECT_EQ(line->text(), QStringLiteral("12345x"));
}
