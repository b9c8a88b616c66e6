#pragma once

// Sequential text files through numbered channels, each opened, used and closed by one handler.
// Lines are written in the system's encoding (UTF-8) and ended by CR LF. Every failure throws a
// RuntimeError. A channel that is already open cannot be opened again until it is closed.

#include <QString>

namespace FileChannel {
// Creates the file or empties it.
void OpenForOutput(int number, const QString& path);
void OpenForInput(int number, const QString& path);
void PrintLine(int number, const QString& text);
// One line without its line end; throws at the end of the file.
QString LineInput(int number);
// Closes the channel; a write that failed on the way is reported here. Closing a channel
// that is not open does nothing.
void Close(int number);
bool IsOpen(int number);
} // namespace FileChannel
