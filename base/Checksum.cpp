#include "base/Checksum.h"

#include <algorithm>
#include <array>

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size)
{
    // Eight bytes a step through eight tables.
    static const std::array<std::array<std::uint32_t, 256>, 8> tables = [] {
        std::array<std::array<std::uint32_t, 256>, 8> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][n] = c;
        }
        for (std::uint32_t n = 0; n < 256; ++n)
            for (std::size_t k = 1; k < 8; ++k) t[k][n] = t[0][t[k - 1][n] & 0xFF] ^ (t[k - 1][n] >> 8);
        return t;
    }();
    crc = ~crc;
    for (; size >= 8; data += 8, size -= 8) {
        const std::uint32_t low = crc ^ (std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                                         std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24);
        crc = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^
              tables[4][low >> 24] ^ tables[3][data[4]] ^ tables[2][data[5]] ^ tables[1][data[6]] ^ tables[0][data[7]];
    }
    for (; size > 0; ++data, --size) crc = tables[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t a = 1, b = 0;
    while (size > 0) {
        const std::size_t block = std::min<std::size_t>(size, 5552);  // sums stay below 2^32
        for (std::size_t i = 0; i < block; ++i) {
            a += data[i];
            b += a;
        }
        a %= 65521;
        b %= 65521;
        data += block;
        size -= block;
    }
    return b << 16 | a;
}

std::uint32_t Adler32Combine(std::uint32_t first, std::uint32_t second, std::size_t secondLength)
{
    constexpr std::uint32_t base = 65521;
    const std::uint32_t rest = std::uint32_t(secondLength % base);
    std::uint32_t a = first & 0xFFFF;
    std::uint32_t b = std::uint32_t((std::uint64_t(rest) * a) % base);
    a += (second & 0xFFFF) + base - 1;
    b += (first >> 16) + (second >> 16) + base - rest;
    if (a >= base) a -= base;
    if (a >= base) a -= base;
    if (b >= 2 * base) b -= 2 * base;
    if (b >= base) b -= base;
    return b << 16 | a;
}
