#include "MidiTypes.h"

namespace {

thread_local const char* t_failureReason = "";

}  // namespace

void CompleteSysexRequest(MIDISysexSendRequest* request, bool delivered, const char* reason)
{
    if (delivered) {
        request->bytesToSend = 0;
        request->complete = 1;
        reason = "";
    } else if (reason == nullptr || *reason == '\0') {
        reason = "no reason given";
    }
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
