// A file named on qwdump's command line, opened once however it is then
// read: as a .syx file of wave dump messages when its first byte is F0,
// otherwise by the window's loader or by the fit. Never waits on a named pipe.
#pragma once

#include "Engine.h"
#include "SyxFile.h"

#include <string>
#include <vector>

struct FitRequest;
struct FittedTable;

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
    // called. On failure each writes "qwdump: FILE: " and why to stderr.
    //
    // Into s_Engine with the window's loader, with the system's reason in
    // parentheses when it gave one. A loaded file that declares other than
    // 16-bit samples gets a notice: the loader reads them as 16-bit pairs.
    bool LoadWaveOrReport();
    bool FitOrReport(const FitRequest& request, FittedTable& table);
    // ReadSyxMessages' reading.
    bool ReadSyxOrReport(std::vector<SysexMessage>& messages, std::vector<std::string>* skipped = nullptr);

private:
    int Take();

    const std::string m_path;
    LoadFacts m_facts;
    int m_fd;
    bool m_syx = false;
};
