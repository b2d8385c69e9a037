// Reading the first local file's path out of a text/uri-list.

#include "DroppedPath.h"

#include <gtest/gtest.h>

namespace {

TEST(DroppedPathTest, TakesTheFirstLocalFileByteForByteOrNothingThatIsNotExact)
{
    const std::string x298 = std::string(298, 'x');
    const std::tuple<std::string, DroppedPath::Status, std::string> lists[] = {
        {"file:///home/me/a%20b.wav\r\nfile:///home/me/c.wav\r\n", DroppedPath::kFound, "/home/me/a b.wav"},
        {"file:///%E9%ff.wav", DroppedPath::kFound, "/\xE9\xFF.wav"},
        {"FILE://LocalHost/x.wav\r\n", DroppedPath::kFound, "/x.wav"},
        {"file://studio/x.wav\r\n", DroppedPath::kFound, "/x.wav"},  // this machine by name
        {"file:/x.wav\r\n", DroppedPath::kFound, "/x.wav"},
        {"file:///x%3F1%23.wav?q=1#frag\r\n", DroppedPath::kFound, "/x?1#.wav"},
        {"# comment\r\n\r\n  https://host/a.wav\r\nfile://other/b.wav\r\nfile:///c.wav\r\n", DroppedPath::kFound,
         "/c.wav"},
        {"file:///" + x298 + "  ", DroppedPath::kFound, "/" + x298},  // trailing blanks are no part of it
        {"file:///" + x298 + "x", DroppedPath::kTooLong, ""},
        {"file:///" + x298 + "%20", DroppedPath::kTooLong, ""},  // the decoded length counts
        {"file:///a%00b.wav", DroppedPath::kNotExact, ""},
        {"file:///100%.wav", DroppedPath::kNotExact, ""},
        {"file:///a%g0", DroppedPath::kNotExact, ""},
        // Only the first file counts: a refused one is not replaced by the next.
        {"file:///a%00\r\nfile:///b.wav\r\n", DroppedPath::kNotExact, ""},
        {"", DroppedPath::kNoFile, ""},
        {"https://host/a.wav\r\n", DroppedPath::kNoFile, ""},
        {"file://other/a.wav\r\n", DroppedPath::kNoFile, ""},
        {"file://\r\n", DroppedPath::kNoFile, ""},
        {"files:///a.wav\r\n", DroppedPath::kNoFile, ""},
    };
    for (const auto& [list, status, path] : lists) {
        const DroppedPath dropped = FirstDroppedFilePath(list, 299, "studio");
        EXPECT_EQ(dropped.status, status) << list;
        EXPECT_EQ(dropped.path, path) << list;
    }
}

}  // namespace
