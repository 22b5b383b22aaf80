// The program's logs, all in the log folder of the data folder:
//   daily log   "<yyyymmdd>.txt"    QNLogPrint
//   wide log    "<yyyy.mm.dd>.txt"  QNLogPrintW (UTF-16LE)
//   "Test.txt", "TestLock.txt", "Proto.txt"
// Each line is the local date and time ("%d%02d%02d_%02d%02d%02d"), a blank and
// the caller's text; no line feed is added. Every line is appended with one
// write, so lines of concurrent writers never tear. Nothing is written before
// the folders are set up.
//
// Wide formats keep the meaning the client was written with: "%s" and "%c"
// take wide text ("%ls" too), "%hs" and "%S" narrow text. A line whose values
// cannot be formatted is logged as its format, never dropped.
#pragma once

#define QN_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))

void QNLogPrint(const char* format, ...) QN_PRINTF_FORMAT(1, 2);
void QNTestLog(const char* format, ...) QN_PRINTF_FORMAT(1, 2);
void QNLockLog(const char* format, ...) QN_PRINTF_FORMAT(1, 2);
void QNProtoLog(const char* format, ...) QN_PRINTF_FORMAT(1, 2);
void QNLogPrintW(const wchar_t* format, ...);

// Appends raw bytes to `name` in the log folder, or to the daily log when
// `name` is null. 1 on success.
int QNLogWrite(const char* bytes, int length, const char* name);

// Debug prints: they accept their arguments and print nothing.
void QNDebugPrint(const char* format, ...);
void QNTracePrint(const char* format, ...);
void QNNetTracePrint(const char* format, ...);
void QNDebugNop(int value);

// The one console trace of the program, in place of debugger output: silent
// unless the environment sets OSTRELS_TRACE=1, then one line on stderr.
void QNConsoleTrace(const char* format, ...) QN_PRINTF_FORMAT(1, 2);
// Wide twin of the trace, prefixed with the local time "%02d:%02d:%02d_%03d".
void QNDebugOutput(int ignored, const wchar_t* format, ...);
