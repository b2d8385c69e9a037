// Reading the first local file's path out of a text/uri-list.

#include "DroppedPath.h"

#include <gtest/gtest.h>

namespace {

DroppedPath Read(const std::string& list, std::size_t maxBytes = 299)
{
    return FirstDroppedFilePath(list, maxBytes, "studio");
}

TEST(DroppedPathTest, TakesTheFirstLocalFileDecodedByteForByte)
{
    const std::pair<std::string, std::string> lists[] = {
        {"file:///home/me/a%20b.wav\r\nfile:///home/me/c.wav\r\n", "/home/me/a b.wav"},
        {"file:///a.wav", "/a.wav"},
        {"file:///%E9%ff.wav\n", "/\xE9\xFF.wav"},
        {"file:///caf\xC3\xA9.wav\r\n", "/caf\xC3\xA9.wav"},
        {"FILE://LocalHost/x.wav\r\n", "/x.wav"},
        {"file://studio/x.wav\r\n", "/x.wav"},
        {"file:/x.wav\r\n", "/x.wav"},
        {"file:///x%3F1%23.wav?q=1#frag\r\n", "/x?1#.wav"},
        {"# comment\r\n\r\n  https://host/a.wav\r\nfile://other/b.wav\r\nfile:///c.wav\r\n", "/c.wav"},
        {"file:///" + std::string(150, 'x') + std::string(100, ' '), "/" + std::string(150, 'x')},
        {"file:///" + std::string(298, 'x'), "/" + std::string(298, 'x')},
    };
    for (const auto& [list, path] : lists) {
        const DroppedPath dropped = Read(list);
        EXPECT_EQ(dropped.status, DroppedPath::kFound) << list;
        EXPECT_EQ(dropped.path, path) << list;
    }
}

TEST(DroppedPathTest, RefusesWhatCanNotBeKeptExactlyAndFindsNothingElsewhere)
{
    const std::pair<std::string, DroppedPath::Status> lists[] = {
        {"file:///" + std::string(299, 'x'), DroppedPath::kTooLong},
        {"file:///a%00b.wav", DroppedPath::kNotExact},
        {"file:///100%.wav", DroppedPath::kNotExact},
        {"file:///a%4", DroppedPath::kNotExact},
        {"file:///a%g0", DroppedPath::kNotExact},
        // Only the first file counts: a refused one is not replaced by the next.
        {"file:///a%00\r\nfile:///b.wav\r\n", DroppedPath::kNotExact},
        {"", DroppedPath::kNoFile},
        {"#file:///a.wav\r\n", DroppedPath::kNoFile},
        {"https://host/a.wav\r\n", DroppedPath::kNoFile},
        {"file://other/a.wav\r\n", DroppedPath::kNoFile},
        {"file:a.wav\r\n", DroppedPath::kNoFile},
        {"file://\r\n", DroppedPath::kNoFile},
        {"files:///a.wav\r\n", DroppedPath::kNoFile},
    };
    for (const auto& [list, status] : lists) {
        const DroppedPath dropped = Read(list);
        EXPECT_EQ(dropped.status, status) << list;
        EXPECT_EQ(dropped.path, "") << list;
    }
    // The decoded length counts.
    EXPECT_EQ(Read("file:///" + std::string(100, 'x') + "%20%20", 102).status, DroppedPath::kTooLong);
}

}  // namespace
