#pragma once
// The checksums of the files we write: the CRC-32 of PNG chunks and the
// Adler-32 of zlib streams.

#include <cstddef>
#include <cstdint>

// CRC-32 (polynomial 0xEDB88320, reflected) of size bytes, going on from crc
// (0 to begin with).
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

// Adler-32 of size bytes.
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size);
// The Adler-32 of two pieces of data one after the other, from theirs and
// the second one's length.
std::uint32_t Adler32Combine(std::uint32_t first, std::uint32_t second, std::size_t secondLength);
