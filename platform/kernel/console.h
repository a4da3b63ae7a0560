// The console's input: GetStdHandle, GetConsoleMode, SetConsoleMode and ReadFile on the standard
// input handle, for a host that reads a person's keys from its terminal.
//
// GetStdHandle(STD_INPUT_HANDLE) gives the one handle of standard input (whatever it is: a
// terminal, a pipe, a file); it belongs to the process and is never closed. A wait
// (MsgWaitForMultipleObjects) takes it and returns when input, its end or an error is there.
//
// The console mode exists only for a terminal: GetConsoleMode fails (ERROR_INVALID_HANDLE) for
// any other standard input, which is how a caller asks whether a person is typing. The mode's
// input flags stand for the terminal's line editing (ENABLE_LINE_INPUT), echo (ENABLE_ECHO_INPUT)
// and keys that make signals (ENABLE_PROCESSED_INPUT, Ctrl+C). SetConsoleMode with none of them
// makes the terminal raw: every byte is handed over as it arrives, one at a time at least, while
// output keeps turning "\n" into "\r\n" so that lines written by libraries still start at the
// left. A mode with any of them, set on a raw terminal, gives back every setting the terminal had
// before it was made raw and then applies the three flags: setting the mode GetConsoleMode
// reported before gives the terminal back exactly as it was found.
//
// ReadFile reads what standard input has (it waits for one byte at least when nothing is there):
// TRUE with `*read` 0 at the end of input, FALSE with the last error set when the read fails.
// `overlapped` must be nil. Thread-safe; a mode applies to the whole process.
#pragma once

#include "platform/kernel/named_mutex.h"

namespace quill::kernel {

constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);

constexpr DWORD ENABLE_PROCESSED_INPUT = 0x0001;
constexpr DWORD ENABLE_LINE_INPUT = 0x0002;
constexpr DWORD ENABLE_ECHO_INPUT = 0x0004;

// Nil with ERROR_INVALID_PARAMETER for any other than STD_INPUT_HANDLE.
HANDLE GetStdHandle(DWORD which);
BOOL GetConsoleMode(HANDLE console, DWORD* mode);
BOOL SetConsoleMode(HANDLE console, DWORD mode);
BOOL ReadFile(HANDLE file, void* buffer, DWORD size, DWORD* read, void* overlapped);

// Standard output and standard error write "\n" as it is: Windows' C run-time would make "\r\n"
// of each, and programs that read a host's output read the same lines from either system.
// Nothing to do on Linux. Call it before the first output.
void WriteLineEndsAsGiven();

} // namespace quill::kernel
