// A file the user names, opened once however it is then read: as a .syx
// file of wave dump messages when its first byte is F0, otherwise by the
// window's loader or by the fit. Never waits on a named pipe.
#pragma once

#include "Engine.h"
#include "SyxFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FitRequest;
struct FittedTable;

// What reading the user's files has to say, in order: notices on the way
// and, when it failed, why. Each names its file ("saw.wav: ...").
struct ReadNotes
{
    std::vector<std::string> notices;
    std::string failure;
    // A first wave number was given for .syx files alone, which keep their
    // own: it is not used.
    bool firstWaveUnused = false;
};

class InputFile
{
public:
    explicit InputFile(std::string path);
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    InputFile& operator=(InputFile&&) = delete;

    const std::string& Path() const { return m_path; }
    // A regular file whose first byte is F0, the start of System Exclusive.
    bool IsSyx() const { return m_syx; }

    // Each reads the file from its start, and only one of them may be
    // called; each says what it has to in `notes`.
    //
    // Into `wave` with the window's loader, with the system's reason in
    // parentheses when it gave one, or, for audio the loader does not take
    // (FLAC, AIFF, float or stereo WAV, ...), where the fit reads it. A
    // loaded file that declares other than
    // 16-bit samples gets a notice: the loader reads them as 16-bit pairs.
    bool LoadWave(CEngine& wave, ReadNotes& notes);
    // Through the audio fit module, as FitFile does.
    bool Fit(const FitRequest& request, FittedTable& table, ReadNotes& notes);
    // ReadSyxMessages' reading; with `skipOthers`, a whole System Exclusive
    // message that is not a wave dump is skipped with a notice.
    bool ReadSyx(std::vector<SysexMessage>& messages, ReadNotes& notes, bool skipOthers = false);

private:
    int Take();

    const std::string m_path;
    LoadFacts m_facts;
    int m_fd;
    bool m_syx = false;
    std::uint8_t m_head[12] = {};  // the file's first bytes
    std::size_t m_headSize = 0;
};

// Fits `path` (read from `fd` when that is already open) into `table`,
// through the audio fit module, opened on first use. A table scaled down to
// fit the 16-bit range gets a notice, and so does the frame size a file
// fitted as one cycle looks like a table of. The request's `stopped`, when set,
// ends a long fit between its pieces.
bool FitFile(const std::string& path, const FitRequest& request, FittedTable& table, ReadNotes& notes, int fd = -1);
