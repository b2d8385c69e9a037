// .syx files of wave dump messages, as `qwdump pack -o` writes them and any
// SysEx tool (amidi -s) sends them: whole messages back to back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using SysexMessage = std::vector<std::uint8_t>;

// The longest .syx file read: far more than any instrument's dump of all it
// holds, and still a quick read.
inline constexpr std::size_t kMaxSyxFileBytes = 16 << 20;

// Reads every message of the .syx file open at `fd`, and closes it. Each
// must be a well-formed wave dump message (WaveDump::Check): exactly 300
// bytes, the fixed header F0 01 20 01 0A, a wave index of 96 to 127, every
// byte between F0 and F7 below 0x80, and F7 last. With `skipped`, any other
// whole System Exclusive message (F0, data bytes, F7), such as one receive
// --all kept, is skipped instead, with a notice there that names it. On
// failure returns false with `error` naming the byte offset and what is
// wrong there.
bool ReadSyxMessages(int fd, std::vector<SysexMessage>& messages, std::string& error,
                     std::vector<std::string>* skipped = nullptr);

// The message as one line of upper-case hex, as pack and receive print them.
std::string HexLine(const SysexMessage& message);

// Writes `messages` back to back to the .syx file at `path`, never
// destroying what was there (WriteOutputFile, with `signalsAnswered`); on
// failure returns false with `error` saying why.
bool WriteSyxFile(const std::string& path, const std::vector<SysexMessage>& messages, std::string& error,
                  int signalsAnswered = 0);
