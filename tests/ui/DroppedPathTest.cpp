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
    EXPECT_EQ(Read("file:///home/me/a%20b.wav\r\nfile:///home/me/c.wav\r\n").path, "/home/me/a b.wav");
    EXPECT_EQ(Read("file:///a.wav").status, DroppedPath::kFound) << "no line end";
    EXPECT_EQ(Read("file:///%E9%ff.wav\n").path, "/\xE9\xFF.wav");
    EXPECT_EQ(Read("file:///caf\xC3\xA9.wav\r\n").path, "/caf\xC3\xA9.wav") << "unencoded bytes pass unchanged";
    EXPECT_EQ(Read("FILE://LocalHost/x.wav\r\n").path, "/x.wav");
    EXPECT_EQ(Read("file://studio/x.wav\r\n").path, "/x.wav") << "this machine by name";
    EXPECT_EQ(Read("file:/x.wav\r\n").path, "/x.wav");
    EXPECT_EQ(Read("file:///x%3F1%23.wav?q=1#frag\r\n").path, "/x?1#.wav");
    EXPECT_EQ(Read("# comment\r\n\r\n  https://host/a.wav\r\nfile://other/b.wav\r\nfile:///c.wav\r\n").path,
              "/c.wav");
}

TEST(DroppedPathTest, ListsWithoutLocalFilesHaveNoPath)
{
    for (const char* list : {"", "\r\n", "#file:///a.wav\r\n", "https://host/a.wav\r\n", "file://other/a.wav\r\n",
                             "file:a.wav\r\n", "file://\r\n", "files:///a.wav\r\n"}) {
        SCOPED_TRACE(list);
        const DroppedPath dropped = Read(list);
        EXPECT_EQ(dropped.status, DroppedPath::kNoFile);
        EXPECT_EQ(dropped.path, "");
    }
}

TEST(DroppedPathTest, RefusesWhatCanNotBeKeptExactly)
{
    const std::string name299 = "/" + std::string(298, 'x');
    EXPECT_EQ(Read("file://" + name299).path, name299);
    EXPECT_EQ(Read("file://" + name299 + "y").status, DroppedPath::kTooLong);
    EXPECT_EQ(Read("file:///" + std::string(150, 'x') + std::string(100, ' ')).status, DroppedPath::kFound)
        << "trailing blanks are no part of the URI";
    EXPECT_EQ(Read("file:///" + std::string(100, 'x') + "%20%20", 102).status, DroppedPath::kTooLong)
        << "the decoded length counts";

    EXPECT_EQ(Read("file:///a%00b.wav").status, DroppedPath::kNotExact);
    EXPECT_EQ(Read("file:///100%.wav").status, DroppedPath::kNotExact);
    EXPECT_EQ(Read("file:///a%4").status, DroppedPath::kNotExact);
    EXPECT_EQ(Read("file:///a%g0").status, DroppedPath::kNotExact);
    // Only the first file counts: a refused one is not replaced by the next.
    EXPECT_EQ(Read("file:///a%00\r\nfile:///b.wav\r\n").status, DroppedPath::kNotExact);
}

}  // namespace
