// The processor kind of an executable image, read from its header with every
// offset checked against the file's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kite {

// The machine field of a PE image ("MZ", the NT headers at the offset held
// at 60, "PE\0\0", the 16-bit machine after it), or nothing.
std::optional<std::uint16_t> peMachine(const std::uint8_t* data, std::size_t size);
// The e_machine field of an ELF image, in the byte order the header names.
std::optional<std::uint16_t> elfMachine(const std::uint8_t* data, std::size_t size);
// Either of the two, by the file's magic.
std::optional<std::uint16_t> imageMachine(const std::uint8_t* data, std::size_t size);

}  // namespace kite
