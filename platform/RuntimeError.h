#pragma once

// A run-time error as the program's handlers see it: a number and a description. Platform
// operations throw it; each handler decides whether to skip, report or pass it on.

#include <QString>
#include <exception>

namespace ErrorNumber {
constexpr int Overflow = 6;
constexpr int OutOfMemory = 7;
constexpr int SubscriptOutOfRange = 9;
constexpr int BadFileNameOrNumber = 52;
constexpr int FileNotFound = 53;
constexpr int FileAlreadyOpen = 55;
constexpr int DeviceIoError = 57;
constexpr int InputPastEndOfFile = 62;
constexpr int DeviceUnavailable = 68;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccessError = 75;
constexpr int PathNotFound = 76;
} // namespace ErrorNumber

class RuntimeError : public std::exception {
public:
    RuntimeError(int number, QString description);

    // The number and a Swedish description for a failed system call on `path`.
    static RuntimeError fromErrno(int errnoValue, const QString& path);
    static QString describe(int number);

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return "RuntimeError"; }

private:
    int m_number;
    QString m_description;
};
