// The output capture in memory: what a test writes stays in the pipe until
// the capture settles or stops, as the real one hands it over on a thread
// of its own whenever it likes.
#pragma once

#include <string>
#include <string_view>

#include "platform/output_capture.h"

namespace kite::testing {

class FakeOutputCapture : public OutputCapture {
public:
    bool start(CapturedOutputReceiver& receiver, bool output, bool error) override {
        capturedOutput = output;
        capturedError = error;
        if (!accepts || (!output && !error)) return false;
        receiver_ = &receiver;
        return true;
    }
    void settle() override { handOver(); }
    void exclusive(const std::function<void()>& action) override { action(); }
    void stop() override {
        handOver();
        receiver_ = nullptr;
        stopped = true;
    }

    // What the JVM or the application writes to a captured stream.
    void write(std::string_view bytes) { pipe_ += bytes; }
    // The capture's thread hands over what the pipe holds.
    void handOver() {
        if (receiver_ != nullptr && !pipe_.empty()) receiver_->received(pipe_.data(), pipe_.size());
        pipe_.clear();
    }

    bool accepts = true;  // false: every stream has a handle of its own
    bool capturedOutput = false;
    bool capturedError = false;
    bool stopped = false;

private:
    CapturedOutputReceiver* receiver_ = nullptr;
    std::string pipe_;
};

}  // namespace kite::testing
