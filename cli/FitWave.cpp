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

bool FitTableOrReport(const std::string& path, const FitRequest& request, FittedTable& table)
{
    // Ctrl-C ends a long fit between its pieces.
    FitRequest stoppable = request;
    stoppable.stopped = TerminationSignal;
    ReadNotes notes;
    return Reported(FitFile(path, stoppable, table, notes), notes);
}
