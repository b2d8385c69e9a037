// One qwdump subcommand: it declares its options on its own CLI11 subcommand
// and runs once they have been parsed. Only the command named on the command
// line declares them (main.cpp): building every command's options costs more
// than the whole work of some commands.
#pragma once

#include "WaveNumber.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

class Command
{
public:
    explicit Command(CLI::App* subcommand) : m_subcommand(subcommand) {}
    virtual ~Command() = default;

    const std::string& Name() const { return m_subcommand->get_name(); }
    bool WasChosen() const { return m_subcommand->parsed(); }
    virtual void AddOptions() = 0;
    virtual int Run() = 0;  // returns the process exit status

protected:
    // The options several commands share, declared alike.
    // Several files, in order: WAV files, and .syx files of wave dump messages.
    void AddFilesArgument(std::vector<std::string>& files)
    {
        m_subcommand->add_option("FILE", files, "WAV files, or .syx files of wave dump messages")->required();
    }
    CLI::Option* AddWaveNumberOption(int& waveNumber, const char* help = "Target wave number, 97 to 128")
    {
        return m_subcommand->add_option("--wave,-w", waveNumber, help)->transform(WaveNumberValidator());
    }

    CLI::App* const m_subcommand;
};

std::unique_ptr<Command> AddPackCommand(CLI::App& app);
std::unique_ptr<Command> AddShowCommand(CLI::App& app);
std::unique_ptr<Command> AddPortsCommand(CLI::App& app);
std::unique_ptr<Command> AddSendCommand(CLI::App& app);
std::unique_ptr<Command> AddFitCommand(CLI::App& app);
std::unique_ptr<Command> AddReceiveCommand(CLI::App& app);
std::unique_ptr<Command> AddUnpackCommand(CLI::App& app);
std::unique_ptr<Command> AddPlayCommand(CLI::App& app);
std::unique_ptr<Command> AddShapeCommand(CLI::App& app);
std::unique_ptr<Command> AddMorphCommand(CLI::App& app);
std::unique_ptr<Command> AddCompareCommand(CLI::App& app);
