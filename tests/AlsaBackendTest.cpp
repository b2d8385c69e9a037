// The ALSA sequencer backend on a machine without a sound card, and its
// address parser; kernel-alsa/ tests it against the real sequencer.

#include "AlsaBackend.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(AlsaBackendTest, MissingSequencerOffersNothingAndPrintsNothing)
{
    if (::access("/dev/snd/seq", F_OK) == 0)
        GTEST_SKIP() << "this machine has a sequencer";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(AlsaBackend::Open("qwd-test"), nullptr);
    // Through libasound once more, after the backend has had its say.
    snd_seq_t* seq = nullptr;
    EXPECT_LT(snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(AlsaBackendTest, AddressesAreClientColonPort)
{
    int client = -1;
    int port = -1;
    EXPECT_TRUE(ParseAlsaAddress("20:255", client, port));
    EXPECT_EQ(client, 20);
    EXPECT_EQ(port, 255);
    for (const char* bad : {"", "20", "20:", ":0", "20:0x", "20:256", "-1:0", "a:b"})
        EXPECT_FALSE(ParseAlsaAddress(bad, client, port)) << bad;
}

}  // namespace
