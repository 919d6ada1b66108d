// The argument area another process writes, in both forms: the Windows
// shared block's area (a fixed run of bytes, read as it is) and the Linux
// message (bytes in pieces of any size, then the end of the stream). The
// reader never reads past the bytes, and a message is taken only when it is
// exactly one area long.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "instance/argument_area.h"
#include "platform/posix/posix_instance_channel.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// A list that fits comes back unchanged after writing and reading, up to its
// first empty argument after the first one.
void checkRoundTrip(const kite::WideStringList& list) {
    kite::ArgumentArea area{};
    if (!kite::writeArgumentArea(list, area)) {
        check(!kite::argumentsFit(list));
        return;
    }
    const kite::WideStringList back = kite::readArgumentArea(area.data(), area.size());
    std::size_t expected = list.size();
    for (std::size_t i = 1; i < list.size(); ++i) {
        if (list[i].empty()) {
            expected = i;
            break;
        }
    }
    check(back.size() == std::max<std::size_t>(expected, 1));
    for (std::size_t i = 0; i < expected; ++i) check(back[i] == list[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The block form: any size, odd ones included, read in place.
    const kite::WideStringList list = kite::readArgumentArea(data, size);
    std::size_t units = 0;
    for (const kite::WideString& argument : list) units += argument.size();
    check(units <= size / 2);
    checkRoundTrip(list);

    // The message form: the first byte of each piece gives its length.
    kite::ArgumentMessage message;
    std::size_t at = 0;
    std::size_t sent = 0;
    std::uint8_t stream[2 * kite::kArgumentAreaSize];
    while (at < size && message.state() == kite::ArgumentMessage::State::Waiting) {
        const std::size_t piece = std::min<std::size_t>(data[at] * 8u, size - at - 1);
        const std::uint8_t* bytes = data + at + 1;
        if (sent + piece <= sizeof stream) std::memcpy(stream + sent, bytes, piece);
        sent += piece;
        message.add(bytes, piece);
        at += 1 + piece;
    }
    const auto state = message.end();
    check((state == kite::ArgumentMessage::State::Complete) == (sent == kite::kArgumentAreaSize));
    if (state == kite::ArgumentMessage::State::Complete) {
        check(std::memcmp(message.area().data(), stream, kite::kArgumentAreaSize) == 0);
        (void)kite::readArgumentArea(message.area().data(), message.area().size());
    }
    return 0;
}
