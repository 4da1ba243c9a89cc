#pragma once
// Page pictures as PNG files, written chunk by chunk (each with its length
// and CRC) to the file. The rows are packed with a palette of the page's own
// colours where it has at most 256 (render/Palettepacking.h), unfiltered,
// and deflated with the fixed codes, repeats being looked for only one pixel
// back and one row up (render/Deflate.h). Either way the file reads back as
// the same pixels; alpha is not kept. The writer's large buffers are kept
// for the next picture.

#include <QIODevice>
#include <QImage>
#include <QString>

#include "base/Errors.h"

class TPngWriter {
public:
    // Writes the picture to path. Fails with the reason when the picture is
    // empty ("the picture is empty"), there is not enough memory for its
    // rows ("there is not enough memory"), or the file cannot be created or
    // written (what the file system said).
    static TResult Write(const QImage& picture, const QString& path);
    // The same to a device (opened for writing if it is not open yet).
    static TResult Write(const QImage& picture, QIODevice& device);
    // The number of threads a large picture's pixels are mapped and packed
    // on (0: one per core, at most 8); the file is the same with any number.
    static void SetThreads(int threads);
};
