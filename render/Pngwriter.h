#pragma once
// Page pictures as PNG files. A page holds a handful of exact colours, so its
// picture is written with a palette of its distinct colours (colour type 3),
// in the order they first appear row by row, every pixel mapped exactly and
// packed as tightly as the palette allows (1, 2, 4 or 8 bits a pixel); only a
// picture of more than 256 colours is written as RGB (colour type 2, 8 bits a
// channel). Either way the file reads back as the same pixels; alpha is not
// kept. The rows are unfiltered and deflated with the fixed codes, repeats
// being looked for only one pixel back and one row up: pages are long runs of
// one colour in rows much like the ones above them. The writer's large
// buffers are kept for the next picture.

#include <QIODevice>
#include <QImage>
#include <QString>

class TPngWriter {
public:
    // Writes the picture to path; false when the file cannot be created or
    // written.
    static bool Write(const QImage& picture, const QString& path);
    // The same to a device (opened for writing if it is not open yet).
    static bool Write(const QImage& picture, QIODevice& device);
    // The number of threads a large picture's pixels are mapped and packed
    // on (0: one per core, at most 8); the file is the same with any number.
    static void SetThreads(int threads);
};
