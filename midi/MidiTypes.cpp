#include "MidiTypes.h"

#include "SystemLog.h"

namespace {

thread_local const char* t_failureReason = "";

}  // namespace

void CompleteSysexRequest(MIDISysexSendRequest* request, bool delivered, const char* reason, bool logged)
{
    if (delivered) {
        request->bytesToSend = 0;
        request->complete = 1;
        reason = "";
    } else if (reason == nullptr || *reason == '\0') {
        reason = "no reason given";
    }
    if (!delivered && logged)
        LogLine("MIDI send not delivered: %s", reason);
    const char* outer = t_failureReason;
    t_failureReason = reason;
    if (request->completionProc != nullptr)
        request->completionProc(request);
    t_failureReason = outer;
}

const char* MIDISysexFailureReason()
{
    return t_failureReason;
}
