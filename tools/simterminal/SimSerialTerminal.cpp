#include "SimSerialTerminal.h"

#include "ScaledDeadline.h"

#include <exception>
#include <thread>

namespace testsupport {

namespace {

bool parseRequest(const Bytes& payload, SimMessage& request)
{
    if (payload.size() < SimMessage::HeaderSize)
        return false;
    try {
        request = SimMessage::parse(Bytes(payload.begin(), payload.begin() + SimMessage::HeaderSize),
                                    Bytes(payload.begin() + SimMessage::HeaderSize, payload.end()));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

SimSerialTerminal::SimSerialTerminal()
    : peer_([this](const Bytes& bytes) { line_.send(bytes); })
    , line_([this](const Bytes& bytes) { onBytes(bytes); })
{
}

SimSerialTerminal::SimSerialTerminal(const std::string& device, int baudRate)
    : peer_([this](const Bytes& bytes) { line_.send(bytes); })
    , line_(device, baudRate, [this](const Bytes& bytes) { onBytes(bytes); })
{
}

void SimSerialTerminal::on(const std::string& requestType, Responder responder)
{
    std::lock_guard<std::mutex> lock(mutex_);
    script_[requestType] = std::move(responder);
}

void SimSerialTerminal::identifyAs(const std::string& terminalIdentifier, const std::string& model)
{
    on("Ci", [terminalIdentifier, model](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::informationReplyTo(request, terminalIdentifier, model, "10"));
    });
}

void SimSerialTerminal::setSilent(bool silent)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        silent_ = silent;
    }
    peer_.setAcknowledging(!silent);
}

void SimSerialTerminal::answerHeldRequests()
{
    std::vector<Bytes> held;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held.swap(held_);
    }
    for (const auto& payload : held)
        handlePayload(payload);
}

void SimSerialTerminal::sendMessage(const Bytes& message)
{
    Bytes frame;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        frame = LinkPeer::frame(message, nextSequence_);
        lastFrame_ = frame;
        lastFrameSentAt_ = std::chrono::steady_clock::now();
        if (!framesAlike_)
            nextSequence_ = nextSequence_ == 254 ? 0 : static_cast<uint8_t>(nextSequence_ + 1);
    }
    peer_.sendRaw(frame);
}

void SimSerialTerminal::resendLastFrame()
{
    Bytes frame;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        frame = lastFrame_;
    }
    peer_.sendRaw(frame);
}

void SimSerialTerminal::resendLastFrameWhenDue()
{
    // The acknowledgement time-out of the link's frames.
    const std::chrono::milliseconds ackTimeout(2000);
    std::chrono::steady_clock::time_point due;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        due = lastFrameSentAt_ + ackTimeout;
    }
    std::this_thread::sleep_until(due);
    resendLastFrame();
}

void SimSerialTerminal::withholdNextAcknowledgement()
{
    peer_.withholdNextAcknowledgement();
}

void SimSerialTerminal::setNumberingFramesAlike(bool alike)
{
    std::lock_guard<std::mutex> lock(mutex_);
    framesAlike_ = alike;
}

void SimSerialTerminal::onBytes(const Bytes& bytes)
{
    peer_.receive(bytes);
    const std::vector<Bytes> messages = peer_.messages();
    std::vector<Bytes> fresh;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fresh.assign(messages.begin() + static_cast<long>(handledMessages_), messages.end());
        handledMessages_ = messages.size();
    }
    for (const auto& payload : fresh)
        handlePayload(payload);
}

void SimSerialTerminal::handlePayload(const Bytes& payload)
{
    Responder responder;
    SimMessage request;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // A resent frame carries the very same message (each request has its own sequence number).
        if (payload == lastPayload_ || (silent_ && !held_.empty() && payload == held_.back()))
            return;
        if (silent_) {
            held_.push_back(payload);
            return;
        }
        lastPayload_ = payload;
        if (!parseRequest(payload, request)) {
            ++malformed_;
            return;
        }
        requests_.push_back(request);
        requested_.notify_all();
        const auto it = script_.find(request.type);
        if (it != script_.end())
            responder = it->second;
    }
    if (!responder)
        return;
    for (const auto& message : responder(request).writes)
        sendMessage(message);
}

std::vector<SimMessage> SimSerialTerminal::requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

size_t SimSerialTerminal::requestCount(const std::string& type) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return countOf(type);
}

size_t SimSerialTerminal::countOf(const std::string& type) const
{
    size_t count = 0;
    for (const auto& request : requests_)
        count += request.type == type ? 1 : 0;
    return count;
}

bool SimSerialTerminal::waitForRequests(const std::string& type, size_t count,
                                        std::chrono::milliseconds deadline) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return noteWait(requested_.wait_for(lock, waitDeadline(deadline), [&] { return countOf(type) >= count; }));
}

size_t SimSerialTerminal::malformedCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return malformed_;
}

} // namespace testsupport
