#pragma once
// Deflate (RFC 1951) for the rows of page pictures: one block with the fixed
// codes, the only repeats looked for being those of the bytes one pixel back
// and one row up. A page's rows are long runs of one colour and much like
// the rows above them, so this finds most of what a general compressor
// would, in a fraction of its time. The result is a zlib stream (RFC 1950).

#include <cstddef>
#include <cstdint>

// The most bytes DeflateRows writes for size bytes: 9 bits a byte at worst.
std::size_t DeflateBound(std::size_t size);

// Writes the zlib stream of size bytes of data, rows of rowStride bytes
// whose pixels are pixelBytes bytes each, to out (DeflateBound(size)
// bytes); its length. The data is parsed in `parts` parts at once, each from
// the start of a row; the stream is the one a single parse writes.
std::size_t DeflateRows(const std::uint8_t* data, std::size_t size, std::size_t pixelBytes, std::size_t rowStride,
                        int parts, std::uint8_t* out);
