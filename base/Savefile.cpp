#include "base/Savefile.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Buffered bytes are written out in pieces of this size.
constexpr qsizetype kBufferSize = 256 * 1024;
constexpr int kMostLinks = 40;

QString SystemReason(int error) { return qt_error_string(error); }

// The temporary files being written, for RemoveUnfinished(): slots a signal
// handler may read (lock-free atomics), each the name of one TSaveFile's
// temporary file while it exists.
constexpr int kMostUnfinished = 64;
std::atomic<const char*> unfinished[kMostUnfinished];
static_assert(std::atomic<const char*>::is_always_lock_free);

void Unfinished(const char* name)
{
    for (std::atomic<const char*>& slot : unfinished) {
        const char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, name)) return;
    }
}

void Finished(const char* name)
{
    for (std::atomic<const char*>& slot : unfinished) {
        const char* expected = name;
        if (slot.compare_exchange_strong(expected, nullptr)) return;
    }
}

QByteArray FolderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    if (slash == 0) return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray NameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

// The path a chain of links ends at (the path itself when it is no link).
QByteArray FollowLinks(const QByteArray& path)
{
    QByteArray current = path;
    for (int hop = 0; hop < kMostLinks; ++hop) {
        struct stat st;
        if (::lstat(current.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        QByteArray target(4096, '\0');
        const ssize_t n = ::readlink(current.constData(), target.data(), std::size_t(target.size()));
        if (n < 0 || n >= target.size()) return current;
        target.truncate(n);
        current = target.startsWith('/') ? target : FolderOf(current) + '/' + target;
    }
    return current;
}

QString KindOf(mode_t mode)
{
    if (S_ISDIR(mode)) return QStringLiteral("a folder");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
    if (S_ISFIFO(mode)) return QStringLiteral("a pipe");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    return QStringLiteral("something other than a file");
}

bool WriteAll(int fd, const char* data, qint64 size, int& error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(std::min<qint64>(size, 1 << 30)));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        if (n == 0) {
            error = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool WriteAllAt(int fd, const char* data, qint64 size, int& error)
{
    off_t at = 0;
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, std::size_t(std::min<qint64>(size, 1 << 30)), at);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        if (n == 0) {
            error = EIO;
            return false;
        }
        data += n;
        size -= n;
        at += n;
    }
    return true;
}

// fsync where the file system can; one that cannot (EINVAL) has nothing to
// flush.
bool Sync(int fd, int& error)
{
    while (::fsync(fd) != 0) {
        if (errno == EINTR) continue;
        if (errno == EINVAL) return true;
        error = errno;
        return false;
    }
    return true;
}

}  // namespace

QString NonRegularKind(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (name.isEmpty() || ::lstat(name.constData(), &st) != 0) return QString();
    if (!S_ISLNK(st.st_mode)) return S_ISREG(st.st_mode) ? QString() : KindOf(st.st_mode);
    if (::stat(name.constData(), &st) != 0)
        return errno == ELOOP ? QStringLiteral("a link that leads round in a circle") : QString();
    return S_ISREG(st.st_mode) ? QString() : QStringLiteral("a link to ") + KindOf(st.st_mode);
}

TReadOutcome ReadRegularFile(const QString& path, qint64 maxBytes, QByteArray& bytes)
{
    bytes.clear();
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR || name.isEmpty() ? TReadOutcome::Missing : TReadOutcome::Failed;
    if (!S_ISREG(st.st_mode)) return TReadOutcome::NotRegular;
    if (st.st_size > maxBytes) return TReadOutcome::TooLarge;

    // Not blocking: what is there may have changed since it was looked at.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? TReadOutcome::Missing : TReadOutcome::Failed;
    TReadOutcome outcome = TReadOutcome::Read;
    if (::fstat(fd, &st) != 0)
        outcome = TReadOutcome::Failed;
    else if (!S_ISREG(st.st_mode))
        outcome = TReadOutcome::NotRegular;
    else if (st.st_size > maxBytes)
        outcome = TReadOutcome::TooLarge;
    if (outcome == TReadOutcome::Read) {
        // One byte more than allowed tells a file that grew meanwhile.
        bytes.resize(qsizetype(std::min<qint64>(st.st_size, maxBytes) + 1));
        qsizetype have = 0;
        while (have < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + have, std::size_t(bytes.size() - have));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                outcome = TReadOutcome::Failed;
                break;
            }
            if (n == 0) break;
            have += n;
            if (have == bytes.size() && have <= maxBytes) bytes.resize(std::min<qsizetype>(have * 2, maxBytes + 1));
        }
        if (outcome == TReadOutcome::Read && have > maxBytes) outcome = TReadOutcome::TooLarge;
        bytes.truncate(outcome == TReadOutcome::Read ? have : 0);
    }
    ::close(fd);
    return outcome;
}

// ---------------------------------------------------------------------------
// TSaveFile

TSaveFile::TSaveFile(const QString& path, TMode mode) : path_(path), mode_(mode) {}

TSaveFile::~TSaveFile()
{
    if (isOpen()) Cancel();
}

void TSaveFile::Fail(const QString& reason)
{
    if (reason_.isEmpty()) reason_ = reason;
}

void TSaveFile::FailWithErrno(int error) { Fail(SystemReason(error)); }

bool TSaveFile::open(OpenMode mode)
{
    if (isOpen()) return false;
    reason_.clear();
    inPlace_ = false;
    if ((mode & ReadOnly) || !(mode & WriteOnly)) {
        Fail(QStringLiteral("the file can only be opened for writing"));
        return false;
    }
    const QByteArray name = QFile::encodeName(path_);
    if (name.isEmpty()) {
        Fail(QStringLiteral("the file has no name"));
        return false;
    }
    if (const QString kind = NonRegularKind(path_); !kind.isEmpty()) {
        Fail(QStringLiteral("it is %1, not a file").arg(kind));
        return false;
    }
    target_ = FollowLinks(name);
    struct stat st;
    exists_ = ::stat(target_.constData(), &st) == 0;
    if (exists_) {
        permissions_ = st.st_mode & 07777;
        owner_ = st.st_uid;
        group_ = st.st_gid;
    }

    // A hidden name beside the target, new for this file (and short enough
    // for the folder however long the target's name is).
    const QByteArray stem = FolderOf(target_) + "/." + NameOf(target_).left(200) + '.';
    int error = 0;
    // The stop signals wait while the file is made and taken into the list
    // RemoveUnfinished() empties, so that a run they end finds it there.
    sigset_t stopSignals, before;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stopSignals, signal);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &before);
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = stem + QByteArray::number(QRandomGenerator::global()->generate() % 0x1000000u, 36);
        fd_ = ::open(temporary_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd_ < 0 && errno != EEXIST && errno != EINTR) {
            error = errno;
            break;
        }
    }
    if (fd_ >= 0) Unfinished(temporary_.constData());
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (fd_ < 0) {
        temporary_.clear();
        const bool folderRefuses = error == EACCES || error == EPERM;
        if (folderRefuses && mode_ == TMode::ReplaceOrRewrite && exists_ && ::access(target_.constData(), W_OK) == 0) {
            inPlace_ = true;
        } else {
            FailWithErrno(error ? error : EEXIST);
            return false;
        }
    } else if (exists_) {
        ::fchmod(fd_, permissions_);
        struct stat mine;
        if (::fstat(fd_, &mine) == 0 && (mine.st_uid != owner_ || mine.st_gid != group_) &&
            ::fchown(fd_, owner_, group_) != 0) {
            // Only the system's administrator may give a file to another owner.
        }
    }
    buffer_.clear();
    QIODevice::open(WriteOnly | Unbuffered);
    return true;
}

qint64 TSaveFile::readData(char*, qint64) { return -1; }

qint64 TSaveFile::writeData(const char* data, qint64 size)
{
    if (Failed() || (fd_ < 0 && !inPlace_)) return -1;
    buffer_.append(data, qsizetype(size));
    if (!inPlace_ && buffer_.size() >= kBufferSize && !WriteOut()) return -1;
    return size;
}

bool TSaveFile::WriteOut()
{
    int error = 0;
    if (!WriteAll(fd_, buffer_.constData(), buffer_.size(), error)) {
        FailWithErrno(error);
        return false;
    }
    buffer_.clear();
    return true;
}

bool TSaveFile::Commit()
{
    if (!isOpen()) {
        Fail(QStringLiteral("the file is not open"));
        return false;
    }
    const bool done = !Failed() && (inPlace_ ? CommitInPlace() : CommitReplace());
    Discard();
    QIODevice::close();
    return done;
}

bool TSaveFile::CommitReplace()
{
    int error = 0;
    if (!WriteOut()) return false;
    if (!Sync(fd_, error)) {
        FailWithErrno(error);
        return false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        FailWithErrno(errno);
        return false;
    }
    // What is at the target may have changed since the file was opened.
    if (const QString kind = NonRegularKind(QFile::decodeName(target_)); !kind.isEmpty()) {
        Fail(QStringLiteral("it is %1, not a file").arg(kind));
        return false;
    }
    if (::rename(temporary_.constData(), target_.constData()) != 0) {
        FailWithErrno(errno);
        return false;
    }
    Finished(temporary_.constData());
    temporary_.clear();
    return true;
}

bool TSaveFile::CommitInPlace()
{
    const int fd = ::open(target_.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        FailWithErrno(errno);
        return false;
    }
    int error = 0;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        Fail(QStringLiteral("it is %1, not a file").arg(KindOf(st.st_mode)));
    } else {
        const qint64 size = buffer_.size();
        // The room first: a disk without it leaves the file as it was.
        if (size > 0) {
            const int reserved = ::posix_fallocate(fd, 0, off_t(size));
            if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL && reserved != ENODEV &&
                reserved != ENOSYS)
                error = reserved;
        }
        if (!error) WriteAllAt(fd, buffer_.constData(), size, error);
        if (!error && ::ftruncate(fd, off_t(size)) != 0) error = errno;
        if (!error) Sync(fd, error);
    }
    if (::close(fd) != 0 && errno != EINTR && !error) error = errno;
    if (error) FailWithErrno(error);
    return !Failed();
}

void TSaveFile::Discard()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty()) {
        Finished(temporary_.constData());
        ::unlink(temporary_.constData());
    }
    temporary_.clear();
    buffer_.clear();
    buffer_.squeeze();
}

void TSaveFile::Cancel()
{
    Discard();
    if (isOpen()) QIODevice::close();
}

void TSaveFile::close()
{
    if (isOpen()) Cancel();
}

void TSaveFile::RemoveUnfinished()
{
    for (std::atomic<const char*>& slot : unfinished)
        if (const char* name = slot.exchange(nullptr)) ::unlink(name);
}

QString SaveFile(const QString& path, const std::function<bool(QIODevice&)>& write, const QString& reason,
                 TSaveFile::TMode mode)
{
    TSaveFile file(path, mode);
    if (!file.open(QIODevice::WriteOnly)) return file.Reason();
    if (!write(file) && !file.Failed()) {
        file.Cancel();
        return reason.isEmpty() ? QStringLiteral("the file could not be written") : reason;
    }
    if (!file.Commit()) return file.Reason();
    return QString();
}
