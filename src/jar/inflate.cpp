// Decoding follows RFC 1951 directly: codes are read one bit at a time and
// matched against the canonical code of each length, which needs no lookup
// tables beyond the count of codes per length. Jar manifests and splash
// images are small, so simplicity wins over speed here.
#include "jar/inflate.h"

#include <array>

namespace kite {

namespace {

constexpr int kMaxCodeLength = 15;
constexpr std::size_t kLiteralCodes = 288;  // 286 usable, the fixed code defines 288
constexpr std::size_t kDistanceCodes = 32;  // 30 usable, the fixed code defines 32
constexpr std::uint16_t kEndOfBlock = 256;

constexpr std::uint16_t kLengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                         31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                         2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                           33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                           1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                           6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block gives the lengths of the code-length code.
constexpr std::uint8_t kCodeLengthOrder[] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Bits in DEFLATE order: each byte from its least significant bit on.
class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> input) : input_(input) {}

    // count is at most 16. False when the input ends first.
    bool read(int count, std::uint32_t& value) {
        while (held_ < count) {
            if (next_ >= input_.size()) return false;
            buffer_ |= static_cast<std::uint32_t>(input_[next_++]) << held_;
            held_ += 8;
        }
        value = buffer_ & ((1u << count) - 1u);
        buffer_ >>= count;
        held_ -= count;
        return true;
    }
    // Drops the rest of the current byte; fewer than 8 bits are ever held
    // between reads.
    void alignToByte() {
        buffer_ = 0;
        held_ = 0;
    }
    std::size_t bytePosition() const { return next_; }
    std::span<const std::uint8_t> bytes() const { return input_; }
    void skipBytes(std::size_t count) { next_ += count; }

private:
    std::span<const std::uint8_t> input_;
    std::size_t next_ = 0;
    std::uint32_t buffer_ = 0;
    int held_ = 0;
};

// A canonical Huffman code: how many codes each length has, and the symbols
// ordered by code.
struct HuffmanCode {
    std::array<std::uint16_t, kMaxCodeLength + 1> counts{};
    std::array<std::uint16_t, kLiteralCodes> symbols{};
};

// False for lengths that promise more codes than the bits allow. An
// incomplete code is accepted; reading one of its unused codes is corrupt.
bool buildCode(std::span<const std::uint8_t> lengths, HuffmanCode& code) {
    code.counts.fill(0);
    for (std::uint8_t length : lengths) ++code.counts[length];
    code.counts[0] = 0;
    int left = 1;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        left = left * 2 - code.counts[length];
        if (left < 0) return false;
    }
    std::array<std::uint16_t, kMaxCodeLength + 2> firstIndex{};
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        firstIndex[length + 1] = static_cast<std::uint16_t>(firstIndex[length] + code.counts[length]);
    }
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        if (lengths[symbol] != 0) code.symbols[firstIndex[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);
    }
    return true;
}

enum class Decoded { Symbol, Truncated, Corrupt };

InflateResult failure(Decoded decoded) {
    return decoded == Decoded::Truncated ? InflateResult::Truncated : InflateResult::Corrupt;
}

Decoded decodeSymbol(BitReader& bits, const HuffmanCode& code, std::uint16_t& symbol) {
    int value = 0;   // the code read so far
    int first = 0;   // the first code of the current length
    int index = 0;   // the index of that code's symbol
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        std::uint32_t bit = 0;
        if (!bits.read(1, bit)) return Decoded::Truncated;
        value |= static_cast<int>(bit);
        const int count = code.counts[length];
        if (value - first < count) {
            symbol = code.symbols[static_cast<std::size_t>(index + value - first)];
            return Decoded::Symbol;
        }
        index += count;
        first = (first + count) << 1;
        value <<= 1;
    }
    return Decoded::Corrupt;
}

class Inflater {
public:
    Inflater(std::span<const std::uint8_t> input, std::size_t maxOutput, std::vector<std::uint8_t>& out)
        : bits_(input), maxOutput_(maxOutput), out_(out) {}

    InflateResult run() {
        out_.clear();
        for (;;) {
            std::uint32_t header = 0;
            if (!bits_.read(3, header)) return InflateResult::Truncated;
            const bool last = (header & 1u) != 0;
            InflateResult result = InflateResult::Corrupt;
            switch (header >> 1) {
            case 0: result = storedBlock(); break;
            case 1: result = fixedBlock(); break;
            case 2: result = dynamicBlock(); break;
            default: return InflateResult::Corrupt;
            }
            if (result != InflateResult::Done) return result;
            if (last) return InflateResult::Done;
        }
    }

private:
    InflateResult storedBlock() {
        bits_.alignToByte();
        const std::span<const std::uint8_t> bytes = bits_.bytes();
        const std::size_t at = bits_.bytePosition();
        if (bytes.size() - at < 4) return InflateResult::Truncated;
        const std::size_t length = bytes[at] | (bytes[at + 1] << 8);
        const std::size_t complement = bytes[at + 2] | (bytes[at + 3] << 8);
        if ((length ^ 0xFFFFu) != complement) return InflateResult::Corrupt;
        if (bytes.size() - at - 4 < length) return InflateResult::Truncated;
        if (maxOutput_ - out_.size() < length) return InflateResult::TooLarge;
        out_.insert(out_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + 4),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at + 4 + length));
        bits_.skipBytes(4 + length);
        return InflateResult::Done;
    }

    InflateResult fixedBlock() {
        std::array<std::uint8_t, kLiteralCodes> literalLengths{};
        for (std::size_t symbol = 0; symbol < kLiteralCodes; ++symbol) {
            literalLengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
        }
        std::array<std::uint8_t, kDistanceCodes> distanceLengths{};
        distanceLengths.fill(5);
        HuffmanCode literals, distances;
        buildCode(literalLengths, literals);
        buildCode(distanceLengths, distances);
        return codedData(literals, distances);
    }

    InflateResult dynamicBlock() {
        std::uint32_t literalCount = 0, distanceCount = 0, lengthCodeCount = 0;
        if (!bits_.read(5, literalCount) || !bits_.read(5, distanceCount) || !bits_.read(4, lengthCodeCount))
            return InflateResult::Truncated;
        literalCount += 257;
        distanceCount += 1;
        lengthCodeCount += 4;
        if (literalCount > 286 || distanceCount > 30) return InflateResult::Corrupt;

        std::array<std::uint8_t, 19> lengthCodeLengths{};
        for (std::uint32_t i = 0; i < lengthCodeCount; ++i) {
            std::uint32_t length = 0;
            if (!bits_.read(3, length)) return InflateResult::Truncated;
            lengthCodeLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(length);
        }
        HuffmanCode lengthCode;
        if (!buildCode(lengthCodeLengths, lengthCode)) return InflateResult::Corrupt;

        // The literal and distance lengths form one sequence; a repeat may
        // run from one into the other.
        std::array<std::uint8_t, 286 + 30> lengths{};
        const std::uint32_t total = literalCount + distanceCount;
        std::uint32_t filled = 0;
        while (filled < total) {
            std::uint16_t symbol = 0;
            const Decoded decoded = decodeSymbol(bits_, lengthCode, symbol);
            if (decoded != Decoded::Symbol) return failure(decoded);
            if (symbol < 16) {
                lengths[filled++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t repeated = 0;
            std::uint32_t times = 0;
            bool read = false;
            if (symbol == 16) {
                if (filled == 0) return InflateResult::Corrupt;
                repeated = lengths[filled - 1];
                read = bits_.read(2, times);
                times += 3;
            } else if (symbol == 17) {
                read = bits_.read(3, times);
                times += 3;
            } else {
                read = bits_.read(7, times);
                times += 11;
            }
            if (!read) return InflateResult::Truncated;
            if (total - filled < times) return InflateResult::Corrupt;
            for (std::uint32_t i = 0; i < times; ++i) lengths[filled++] = repeated;
        }
        if (lengths[kEndOfBlock] == 0) return InflateResult::Corrupt;
        HuffmanCode literals, distances;
        if (!buildCode(std::span(lengths.data(), literalCount), literals) ||
            !buildCode(std::span(lengths.data() + literalCount, distanceCount), distances))
            return InflateResult::Corrupt;
        return codedData(literals, distances);
    }

    InflateResult codedData(const HuffmanCode& literals, const HuffmanCode& distances) {
        for (;;) {
            std::uint16_t symbol = 0;
            Decoded decoded = decodeSymbol(bits_, literals, symbol);
            if (decoded != Decoded::Symbol) return failure(decoded);
            if (symbol < 256) {
                if (out_.size() >= maxOutput_) return InflateResult::TooLarge;
                out_.push_back(static_cast<std::uint8_t>(symbol));
                continue;
            }
            if (symbol == kEndOfBlock) return InflateResult::Done;
            const std::size_t lengthIndex = symbol - 257u;
            if (lengthIndex >= std::size(kLengthBase)) return InflateResult::Corrupt;
            std::uint32_t extra = 0;
            if (!bits_.read(kLengthExtra[lengthIndex], extra)) return InflateResult::Truncated;
            const std::size_t length = kLengthBase[lengthIndex] + extra;

            decoded = decodeSymbol(bits_, distances, symbol);
            if (decoded != Decoded::Symbol) return failure(decoded);
            if (symbol >= std::size(kDistanceBase)) return InflateResult::Corrupt;
            if (!bits_.read(kDistanceExtra[symbol], extra)) return InflateResult::Truncated;
            const std::size_t distance = kDistanceBase[symbol] + extra;
            if (distance > out_.size()) return InflateResult::Corrupt;
            if (maxOutput_ - out_.size() < length) return InflateResult::TooLarge;
            // The copy may overlap what it writes: byte by byte.
            for (std::size_t i = 0; i < length; ++i) {
                const std::uint8_t byte = out_[out_.size() - distance];
                out_.push_back(byte);
            }
        }
    }

    BitReader bits_;
    std::size_t maxOutput_;
    std::vector<std::uint8_t>& out_;
};

}  // namespace

InflateResult inflateRaw(std::span<const std::uint8_t> input, std::size_t maxOutput, std::vector<std::uint8_t>& out) {
    return Inflater(input, maxOutput, out).run();
}

}  // namespace kite
