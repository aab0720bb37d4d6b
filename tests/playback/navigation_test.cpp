#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QCheckBox>

namespace {

class NavigationTest : public FormTest {
  protected:
    void SetUp() override {
        for (int i = 1; i <= 5; ++i)
            paths << makeFile(QStringLiteral("%1.wav").arg(i));
        drop(paths);
    }
    QStringList paths;
};

TEST_F(NavigationTest, NextAndPreviousWrapAtBothEndsWithRepeatOnOrOff) {
    for (bool repeat : {false, true}) {
        form->Check2->setChecked(repeat);
        form->PlayNew(5);
        form->PushButton10_Click();
        EXPECT_EQ(currentPath(), paths[0]);
        form->PushButton9_Click();
        EXPECT_EQ(currentPath(), paths[4]);
    }
}

TEST_F(NavigationTest, ShuffleLeavesTheButtonsInListOrder) {
    form->Check1->setChecked(true);
    form->PlayNew(2);
    form->PushButton10_Click();
    EXPECT_EQ(currentPath(), paths[2]);
}

TEST_F(NavigationTest, WithNoEntrySelectedTheFailureIsReportedAndNothingStarts) {
    form->PlayNew(2);
    form->ListView1->clearSelection();
    const int plays = engine->played.size();
    form->PushButton10_Click();
    EXPECT_EQ(engine->played.size(), plays);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Form1.PushButton10_Click at line 102"));
}

TEST_F(NavigationTest, AnEmptyListDoesNothingQuietly) {
    form->ListView1->Clear();
    form->PushButton9_Click();
    form->PushButton10_Click();
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(NavigationTest, TheBoxesSwitchThePlayerModesAndAGrayedBoxChangesNothing) {
    form->Check1->setChecked(true);
    EXPECT_TRUE(form->WMP->getMode("shuffle"));
    setBoxValue(*form->Check1, 2);
    EXPECT_TRUE(form->WMP->getMode("shuffle"));
    setBoxValue(*form->Check1, 0);
    EXPECT_FALSE(form->WMP->getMode("shuffle"));
    form->Check2->setChecked(true);
    EXPECT_TRUE(form->WMP->getMode("loop"));
}

} // namespace
