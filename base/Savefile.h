#pragma once
// The program's own files on disk: the one writer through which every file
// the program makes or replaces is written (TSaveFile), and the bounded
// reading of a file that must be a regular one (ReadRegularFile).
//
// TSaveFile, the contract:
//
// - What is written goes to a new temporary file in the target's own folder
//   (".NAME.XXXXXX", hidden), so that the last step is a rename within one
//   file system. Nothing is written to the target itself before Commit().
// - Every write is checked. The first failure is kept (Reason() gives the
//   system's own text, such as "No space left on device"); every later
//   write then fails at once, so a writer stops early.
// - Commit() writes out what is still buffered, flushes the file to the disk
//   (fsync) and closes it, checking each step; only when all of them and
//   every earlier write went well does the temporary file take the target's
//   place. Otherwise the temporary file is removed and the target is left as
//   it was, byte for byte, or missing if it was missing. A TSaveFile that is
//   destroyed, closed or cancelled without a successful Commit() leaves
//   nothing behind.
// - The target must be a regular file, a link (through any number of links)
//   to one, or a path where nothing is yet. A folder, device, pipe or socket,
//   or a link to one, is refused before anything is written ("it is a
//   device, not a file"). A link stays a link: the file it leads to is
//   replaced (and made, for a link that leads to nothing yet).
// - The replaced file keeps its permission bits (and, where the system
//   allows, its owner); a new file gets read and write for all, less the
//   umask.
// - With TMode::ReplaceOrRewrite, a target in a folder that refuses a new
//   file (a settings file in a folder the user may not write) is rewritten
//   in place instead, when the file itself may be written: everything is
//   kept in memory until Commit(), which first reserves the room the new
//   contents need in the file and only then rewrites it, so a full disk
//   still leaves the file as it was. Only for small files.
//
// Failures come back as a reason only; the caller names the file in its own
// message ("Cannot write '<file>': <reason>", "Unable to write to <file>").
// A TSaveFile is used on one thread at a time.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>

class TSaveFile : public QIODevice {
public:
    enum class TMode { Replace, ReplaceOrRewrite };

    explicit TSaveFile(const QString& path, TMode mode = TMode::Replace);
    ~TSaveFile() override;
    TSaveFile(const TSaveFile&) = delete;
    TSaveFile& operator=(const TSaveFile&) = delete;

    const QString& FileName() const { return path_; }

    // Checks the target and makes the temporary file; only for writing.
    // False, with Reason() set, when the target is refused or the temporary
    // file cannot be made.
    bool open(OpenMode mode) override;
    // See above. False, with Reason() set, when anything failed; the target
    // is then untouched.
    bool Commit();
    // Ends without touching the target.
    void Cancel();
    // Without a Commit(), the same as Cancel().
    void close() override;

    // Why the file cannot be written; empty while nothing failed.
    const QString& Reason() const { return reason_; }
    bool Failed() const { return !reason_.isEmpty(); }
    // True when the file is being rewritten in place (TMode::ReplaceOrRewrite).
    bool InPlace() const { return inPlace_; }

    bool isSequential() const override { return true; }

    // Removes the temporary file of every TSaveFile still being written (of
    // the first 64 at once), so that a run ended by a signal leaves none
    // behind; their targets stay as they were. Safe to call from a signal
    // handler (it only unlinks). Their Commit() then fails. SIGTERM, SIGINT
    // and SIGHUP wait while a temporary file is made and listed, so that a
    // handler of theirs finds every one.
    static void RemoveUnfinished();

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    void Fail(const QString& reason);
    void FailWithErrno(int error);
    bool WriteOut();
    bool CommitReplace();
    bool CommitInPlace();
    void Discard();

    QString path_;
    TMode mode_;
    QByteArray target_;  // the file replaced in the end, links followed
    QByteArray temporary_;
    int fd_ = -1;
    bool inPlace_ = false;
    bool exists_ = false;
    unsigned permissions_ = 0;  // of the replaced file
    unsigned owner_ = 0, group_ = 0;
    QByteArray buffer_;
    QString reason_;
};

// Saves the file at path as write(file) writes it, through a TSaveFile.
// Returns the empty text when it was written, and otherwise the reason it was
// not: the file's own failure, or `reason` when write() returned false
// without one ("the file could not be written" when no reason is given).
QString SaveFile(const QString& path, const std::function<bool(QIODevice&)>& write, const QString& reason = {},
                 TSaveFile::TMode mode = TSaveFile::TMode::Replace);

// For a path at which something is that is not a regular file, nor a link to
// one: what it is, as "a folder", "a device", "a pipe", "a socket", "a link
// to a device" (and so on) or "a link that leads round in a circle". Empty
// for a regular file, a link to one, and a path where nothing is.
QString NonRegularKind(const QString& path);

// Reads the whole file at path when it is a regular file (or a link to one)
// of at most maxBytes bytes. Opening never waits (a pipe or a device is not
// opened at all), and no more than maxBytes + 1 bytes are ever read.
enum class TReadOutcome { Read, Missing, NotRegular, TooLarge, Failed };
TReadOutcome ReadRegularFile(const QString& path, qint64 maxBytes, QByteArray& bytes);
