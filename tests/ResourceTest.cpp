// Failures and sends under repetition: no descriptor and no send block may
// be left behind.

#include "DumpSender.h"
#include "Engine.h"
#include "MemoryBackend.h"
#include "TempDir.h"
#include "WavBytes.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    while (::readdir(dir) != nullptr)
        ++count;
    ::closedir(dir);
    return count;
}

TEST(ResourceTest, TenThousandFailedLoadsLeaveNoDescriptorOpen)
{
    TempDir dir;
    const std::string fifo = dir.File("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> bad = {
        dir.File("missing.wav"),
        fifo,
        dir.path(),
        dir.Write("empty.wav", ""),
        dir.Write("text.wav", "hello, world"),
        dir.Write("stereo.wav", WavBytes::Riff().Format(1, 2).Chunk("data", std::string(256, 0)).str()),
        dir.Write("nodata.wav", WavBytes::Riff().Format().str()),
        dir.Write("short.wav", WavBytes::Riff().Format().Header("data", 256).Raw("ab").str()),
        dir.Write("truncated.wav", WavBytes::Riff().Format().Header("data", 600).Raw("ab").str()),
        dir.Write("toomany.wav", WavBytes::Riff().Format().Header("data", 0xFFFFFFFFu).str()),
        dir.Write("toofew.wav", WavBytes::Mono("abcd").str()),
    };

    CEngine engine;
    const std::size_t before = OpenDescriptors();
    for (int i = 0; i < 10000; ++i)
        ASSERT_FALSE(engine.LoadWaveFile(bad[i % bad.size()].c_str())) << bad[i % bad.size()];
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(ResourceTest, AThousandSendsFreeEveryBlockExactlyOnce)
{
    auto owned = std::make_unique<MemoryBackend>();
    MemoryBackend* midi = owned.get();
    std::vector<std::unique_ptr<MidiBackend>> backends;
    backends.push_back(std::move(owned));
    MIDIServiceUseBackends(std::move(backends));
    midi->AddDestination("input", "midi-monitor");

    const SendBlockCounts before = GetSendBlockCounts();
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 1000; ++i) {
        // Every fourth send is refused; the rest complete in batches.
        midi->RefuseSendsWith(i % 4 == 3 ? kMIDIMessageSendErr : noErr);
        SendWaveDump(std::string("input (midi-monitor)"), std::to_string(97 + i % 32));
        if (i % 10 == 9)
            midi->CompleteAll();
    }
    ::testing::internal::GetCapturedStderr();
    const SendBlockCounts after = GetSendBlockCounts();
    EXPECT_EQ(after.allocated - before.allocated, 1000u);
    EXPECT_EQ(after.freed - before.freed, 1000u);
    EXPECT_EQ(after.delivered - before.delivered, 750u);
    MIDIServiceShutDown();
}

}  // namespace
