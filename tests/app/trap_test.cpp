#include "app/trap.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

namespace {

TEST(TrapTest, TheMessageIsBuiltToTheByte) {
    EXPECT_EQ(
        errorMessage(QStringLiteral("Subscript out of range"), QStringLiteral("Form_Load"), 124),
        QStringLiteral(
            "Subscript out of range\r\nin Brackwater2021/08/31.Form1.Form_Load at line 124"
            "\r\rPlease email screenshot of this message to support@thrennic.example"));
    EXPECT_TRUE(errorMessage(QString(), QStringLiteral("PlayNew"), 100).startsWith("\r\nin "));
}

TEST(TrapTest, EachFailingStepIsReportedAndTheProcedureGoesOn) {
    RecordingDialogs dialogs;
    Trap trap(dialogs, "PlayNew");
    int ran = 0;
    trap(100, [] { throw Failure(QStringLiteral("one")); });
    trap(102, [&] { ++ran; });
    trap(104, [] { throw Failure(QStringLiteral("two")); });
    trap(106, [] { throw 42; });
    EXPECT_EQ(ran, 1);
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(
        "one\r\nin Brackwater2021/08/31.Form1.PlayNew at line 100\r\r"));
    EXPECT_TRUE(dialogs.shown[1].text.contains("at line 104"));
    EXPECT_EQ(dialogs.shown[2].title, "Application Error");
    EXPECT_EQ(dialogs.shown[2].icon, MessageIcon::Warning);
}

TEST(TrapTest, AFailingTestCountsAsPassed) {
    RecordingDialogs dialogs;
    Trap trap(dialogs, "Form_Load");
    EXPECT_TRUE(trap.test(146, []() -> bool { throw Failure(QStringLiteral("bad")); }));
    EXPECT_FALSE(trap.test(146, [] { return false; }));
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

} // namespace
