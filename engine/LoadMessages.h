// The fixed texts a failed load leaves in CEngine::m_pszError. They are shown
// to the user unchanged and scripts may match them, so they never change.
#pragma once

namespace LoadMessages {
inline constexpr const char kOpenFailed[] =
    "Failed to open wave file. Make sure another application does not have it open.";
inline constexpr const char kNotWav[] = "Failed to open wave file. File does not appear to be a WAV file.";
inline constexpr const char kNotMonoPcm[] = "Failed to open wave file. File is not a mono PCM format WAV file.";
inline constexpr const char kNoData[] =
    "Failed to find wave data in file. File does not appear to be a valid WAV file.";
inline constexpr const char kShort256[] =
    "Failed to load wave data. File does not appear to contain 256 16 bit samples.";
inline constexpr const char kTooMany[] = "Failed to load wave data. File contains too many 16 bit samples.";
inline constexpr const char kTooFew[] = "Failed to load wave data. File contains less than 128 16 bit samples.";
inline constexpr const char kTruncated[] = "Failed to load wave data. File appears to be truncated.";
}  // namespace LoadMessages
