// What a windowed start does with the standard output and error that a
// process of the GUI subsystem does not have: the streams are pointed at a
// pipe whose bytes a receiver gets, so that nothing the JVM or the
// application writes is lost and no writer ever waits for a reader.
#pragma once

#include <cstddef>
#include <functional>

namespace kite {

// Gets the captured bytes, one piece at a time, on the capture's own thread.
class CapturedOutputReceiver {
public:
    virtual ~CapturedOutputReceiver() = default;
    virtual void received(const char* data, std::size_t size) = 0;
};

class OutputCapture {
public:
    virtual ~OutputCapture() = default;
    // Points each chosen stream that has no usable handle of its own (not a
    // console, file or pipe) at the pipe, and starts handing what arrives to
    // receiver. False when no stream was pointed at it.
    virtual bool start(CapturedOutputReceiver& receiver, bool output, bool error) = 0;
    // Returns once every byte written to the pipe before the call has been
    // handed to the receiver.
    virtual void settle() = 0;
    // Runs action while the receiver is handed nothing.
    virtual void exclusive(const std::function<void()>& action) = 0;
    // Hands over what is left and stops; the receiver gets nothing later.
    // The streams stay pointed at the pipe, whose bytes are dropped.
    virtual void stop() = 0;
};

}  // namespace kite
