// Starting the application where no window can be shown.

#include "Process.h"

#include <gtest/gtest.h>

namespace {

ProcessResult StartApp(const std::vector<std::string>& environment)
{
    std::vector<std::string> argv = {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM"};
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.push_back(APP_PATH);
    return RunProcess(argv);
}

TEST(StartWithoutDisplayTest, SaysSoInOneLineAndFails)
{
    EXPECT_EQ(StartApp({}),
              (ProcessResult{1, "",
                             "quarven-wave-dump: no display to show the window on (neither DISPLAY nor "
                             "WAYLAND_DISPLAY is set).\n"}));
}

TEST(StartWithoutDisplayTest, AnUnreachableDisplayEndsWithAMessageNotAnAbort)
{
    const ProcessResult r = StartApp({"DISPLAY=:4093"});
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    const std::string lastLine = "quarven-wave-dump: can't open the window: display \":4093\" is not usable (see above).\n";
    ASSERT_GE(r.err.size(), lastLine.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - lastLine.size()), lastLine);
}

}  // namespace
