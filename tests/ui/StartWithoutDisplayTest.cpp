// Starting the application where no window can be shown.

#include "Process.h"

#include <gtest/gtest.h>

namespace {

ProcessResult StartApp(const std::string& display)
{
    return RunProcess({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                       "DISPLAY=" + display, APP_PATH});
}

TEST(StartWithoutDisplayTest, SaysWhyInOneLineAndFailsInsteadOfAborting)
{
    EXPECT_EQ(StartApp(""), (ProcessResult{1, "",
                                           "quarven-wave-dump: no display to show the window on (neither DISPLAY "
                                           "nor WAYLAND_DISPLAY is set).\n"}));
    const ProcessResult r = StartApp(":4093");
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    const std::string last = "quarven-wave-dump: can't open the window: display \":4093\" is not usable (see above).\n";
    ASSERT_GE(r.err.size(), last.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - last.size()), last);
}

}  // namespace
