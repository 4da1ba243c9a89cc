#pragma once
// Errors that end the handler they are raised in.

#include <QString>
#include <stdexcept>

// A file-system error raised inside a handler: "Cannot open file %s",
// "Cannot create file %s", "Unable to write to %s". Caught at the handler
// boundary and shown in the standard error box.
class EFileError : public std::runtime_error {
public:
    explicit EFileError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

// The outcome of work that can fail, as a value (what LibGfx's ErrorOr<void>
// is): success, or the reason it failed, in words that complete "Cannot
// write 'FILE': " ("there is not enough memory", "No space left on device").
class [[nodiscard]] TResult {
public:
    TResult() = default;  // success
    static TResult Failure(const QString& reason)
    {
        TResult failed;
        failed.failed_ = true;
        failed.reason_ = reason;
        return failed;
    }
    bool Failed() const { return failed_; }
    explicit operator bool() const { return !failed_; }
    const QString& Reason() const { return reason_; }

private:
    bool failed_ = false;
    QString reason_;
};
