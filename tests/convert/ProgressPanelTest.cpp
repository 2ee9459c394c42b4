// The progress panel against a headless main window on the test's own thread.
#include "tests/harness/BatchHarness.h"
#include "ui/Globals.h"
#include "ui/ProgressPanel.h"

#include <gtest/gtest.h>

namespace {
const std::uint8_t kName[] = {7, 'a', '/', 'b', '.', 'w', 'a', 'v'};
}

TEST(ProgressPanel, PositionDividesBeforeItScales) {
    EXPECT_EQ(ProgressPanel::Position(29, 100), 28);
    EXPECT_EQ(ProgressPanel::Position(1, 3), 33);
    EXPECT_EQ(ProgressPanel::Position(5, 0), 0);
    EXPECT_EQ(ProgressPanel::Position(0xFFFFFFFFu, 1), 2147483647);
}

TEST(ProgressPanel, ShowsNameTotalAndProgress) {
    BatchWindow window;
    ProgressPanel panel;
    panel.Start(100, kName);
    EXPECT_EQ(window.ControlText(IDC_FILENAME), "a/b.wav");
    EXPECT_EQ(window.ControlText(IDC_TOTAL), "100");
    panel.Update(29);
    EXPECT_EQ(window.ProgressPosition(), 28);
    panel.Update(500);   // more than announced: a full bar
    EXPECT_EQ(window.ProgressPosition(), 100);

    panel.Start((1u << 31) + 5, kName);
    EXPECT_EQ(window.ProgressPosition(), 0) << "a new file starts at 0";
    EXPECT_EQ(window.ControlText(IDC_TOTAL), "-2147483643");
    panel.Clear();
    EXPECT_EQ(window.ControlText(IDC_FILENAME), "");
    EXPECT_EQ(window.ControlText(IDC_TOTAL), "0");
}
