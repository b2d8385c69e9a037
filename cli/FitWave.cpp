#include "FitWave.h"

#include "InputFile.h"
#include "NumberOption.h"
#include "ReadReport.h"
#include "Termination.h"

void AddFrameOptions(CLI::App& command, FitRequest& request)
{
    command
        .add_option("--frame-size", request.frameSize,
                    "Split the file into frames of N samples, each a cycle of its own, whatever its wavetable chunk "
                    "(clm, srge, uhWT) says; without either the whole file is one cycle")
        ->transform(WholeNumberIn(2, kMaxCycleFrames, "samples"));
    command
        .add_option_function<std::string>(
            "--frames", [&request](const std::string& text) { ParseFrameList(text, request.frames); },
            "Take these frames of a table, numbered from 1, in this order, e.g. 1,5,9-12; at most 32. Without it a "
            "table of up to 32 frames gives all, a longer one 32 spread evenly, first and last included")
        ->check([](const std::string& text) {
            std::vector<std::int64_t> frames;
            return ParseFrameList(text, frames);
        });
}

void AddFitOptions(CLI::App& command, std::string& method, FitRequest& request)
{
    CLI::Option* fit =
        command
            .add_option("--fit", method,
                        "Read any audio file and fit it, harmonic or nearest, as 'qwdump fit' does: a wavetable's "
                        "frames go to consecutive waves")
            ->check(CLI::IsMember(kFitMethods));
    AddFrameOptions(command, request);
    command.get_option("--frame-size")->needs(fit);
    command.get_option("--frames")->needs(fit);
}

const FitRequest* FitOption(const std::string& method, FitRequest& request)
{
    if (method.empty())
        return nullptr;
    request.method = kFitMethods.at(method);
    request.stopped = TerminationSignal;
    return &request;
}

std::string ParseFrameList(const std::string& text, std::vector<std::int64_t>& frames)
{
    frames.clear();
    // Saturates: a number past any table is refused here, however long.
    const auto number = [](const std::string& digits, std::int64_t& value) {
        value = 0;
        for (const char digit : digits) {
            if (digit < '0' || digit > '9')
                return false;
            value = std::min<std::int64_t>(value * 10 + (digit - '0'), kMaxTableFrames + 1);
        }
        return !digits.empty() && value >= 1 && value <= kMaxTableFrames;
    };
    std::size_t start = 0;
    std::size_t count = 0;
    for (;;) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, end - start);
        const std::size_t dash = item.find('-');
        std::int64_t first = 0;
        std::int64_t last = 0;
        if (!number(item.substr(0, dash), first) ||
            !number(dash == std::string::npos ? item : item.substr(dash + 1), last))
            return "'" + item + "' is not a frame number from 1 to " + std::to_string(kMaxTableFrames) +
                   " or a range such as 9-12";
        if (last < first)
            return "'" + item + "' runs backward";
        count += static_cast<std::size_t>(last - first + 1);
        if (count > kBankFrames)
            return "'" + text + "' picks more than a bank of " + std::to_string(kBankFrames) + " frames";
        for (std::int64_t frame = first; frame <= last; ++frame)
            frames.push_back(frame);
        if (end == text.size())
            return "";
        start = end + 1;
    }
}

bool FitTableOrReport(const std::string& path, const FitRequest& request, FittedTable& table)
{
    // Ctrl-C ends a long fit between its pieces.
    FitRequest stoppable = request;
    stoppable.stopped = TerminationSignal;
    ReadNotes notes;
    return Reported(FitFile(path, stoppable, table, notes), notes);
}
