#include "SysexDelivery.h"

namespace {

// The request and its own copy of the message, alive until its completion;
// the delivery it reports to may be given up on before that.
struct Block
{
    MIDISysexSendRequest request;
    std::vector<std::uint8_t> message;
    std::shared_ptr<SysexDelivery> delivery;
};

}  // namespace

std::shared_ptr<SysexDelivery> SysexDelivery::Start(MIDIEndpointRef destination,
                                                    const std::vector<std::uint8_t>& message, OSStatus& status)
{
    auto delivery = std::make_shared<SysexDelivery>();
    auto* block = new Block{{}, message, delivery};
    block->request.destination = destination;
    block->request.data = block->message.data();
    block->request.bytesToSend = static_cast<std::uint32_t>(block->message.size());
    block->request.completionProc = &SysexDelivery::Completed;
    block->request.completionRefCon = block;
    status = MIDISendSysex(&block->request);
    return delivery;
}

void SysexDelivery::Completed(MIDISysexSendRequest* request)
{
    auto* block = static_cast<Block*>(request->completionRefCon);
    {
        SysexDelivery& delivery = *block->delivery;
        std::lock_guard<std::mutex> lock(delivery.m_mutex);
        delivery.m_done = true;
        delivery.m_delivered = request->complete != 0;
        delivery.m_failure = MIDISysexFailureReason();
        delivery.m_finished.notify_all();
    }
    delete block;
}

bool SysexDelivery::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_finished.wait_until(lock, deadline, [this] { return m_done; });
}

bool SysexDelivery::Delivered()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_delivered;
}

std::string SysexDelivery::FailureReason()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure;
}
