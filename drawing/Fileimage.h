#pragma once
// The file image: a whole drawing file read into memory in one read, or the
// reason it is not read. Nothing is shown here; the caller turns a refusal
// into its own message.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The largest file read as a drawing; the densest sheets hold a few megabytes.
inline constexpr qint64 kMaxDrawingFileBytes = qint64(64) << 20;

struct TFileImage {
    enum class TStatus {
        Read,         // Bytes holds the whole file
        Missing,      // nothing is at the path
        NotAFile,     // a folder, a pipe, a device: not a regular file
        TooLarge,     // a regular file of more than kMaxDrawingFileBytes (Size)
        CannotRead,   // the system would not open or read it (Reason)
        OutOfMemory,  // there is no memory for its bytes
    };
    TStatus Status = TStatus::Read;
    QByteArray Bytes;
    qint64 Size = 0;  // the file's size, once it is known
    QString Reason;   // the system's reason, for CannotRead
    bool IsRead() const { return Status == TStatus::Read; }
};

// Looks at the path without opening it: Missing, NotAFile, TooLarge (with
// the size), CannotRead when the system will not say what is there (a folder
// on the way that may not be entered; with its reason), or Read when it is a
// regular file within the limit (the bytes are not read).
TFileImage LookAtDrawingFile(const QString& path);

// Reads the whole file at path. It is opened without waiting (a pipe put in
// the place of a file since it was looked at does not block) and read only
// if it is then a regular file within the limit.
TFileImage ReadDrawingFile(const QString& path);

// Why a path that is NotAFile or TooLarge is not read as a drawing:
// "'PATH' is not a drawing file", with the size and the limit for a file too
// large.
QString NotADrawingFileText(const QString& path, const TFileImage& image);

// Why a path that is CannotRead is not read: "File 'PATH' cannot be read:
// REASON", with the system's reason ("Permission denied").
QString CannotReadText(const QString& path, const TFileImage& image);
