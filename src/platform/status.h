// The outcome of a platform call: success, or the 32-bit system error code
// (Windows' GetLastError numbering, errno on Linux) that the error lines print.
#pragma once

#include <cstdint>

namespace kite {

class [[nodiscard]] Status {
public:
    constexpr Status() = default;  // success
    static constexpr Status failure(std::int32_t code) { return Status(true, code); }
    // A call that answers with a code: 0 is success.
    static constexpr Status fromCode(std::int32_t code) { return Status(code != 0, code); }

    constexpr bool ok() const { return !failed_; }
    explicit constexpr operator bool() const { return !failed_; }
    constexpr std::int32_t code() const { return code_; }

private:
    constexpr Status(bool failed, std::int32_t code) : failed_(failed), code_(code) {}
    bool failed_ = false;
    std::int32_t code_ = 0;
};

}  // namespace kite
