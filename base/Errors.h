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
