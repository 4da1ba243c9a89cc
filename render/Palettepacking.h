#pragma once
// A page picture's rows as a PNG file keeps them. A page holds a handful of
// exact colours, so its pixels become indices into a palette of its distinct
// colours, in the order they first appear row by row, every pixel mapped
// exactly and packed as tightly as the palette allows (1, 2, 4 or 8 bits a
// pixel); only a picture of more than 256 colours keeps RGB (8 bits a
// channel). Parts of the rows are mapped and packed on several threads at
// once; the rows are the same with any number of parts.

#include <QImage>
#include <QList>
#include <QRgb>
#include <cstddef>

#include "base/Parallel.h"

struct TPackedRows {
    // The rows, each of RowBytes bytes after its filter byte (0: none).
    TLargeBuffer Rows;
    std::size_t RowBytes = 0;
    // Indices into Colours (Indexed), or RGB; Depth bits a pixel, or a channel.
    bool Indexed = false;
    int Depth = 8;
    QList<QRgb> Colours;
};

// The rows of a picture (RGB32 or ARGB32, its alpha left out), in `parts`
// parts of its rows at once; false when there is no memory for them.
bool PackRows(const QImage& picture, int parts, TPackedRows& packed);
