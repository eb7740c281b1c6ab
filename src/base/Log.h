#pragma once

#include <string>

// Diagnostic trace: one time-stamped line per call, naming the unit and source line.
// Off unless switched on (the -log option); every failure of the log is silent.

#if defined(__GNUC__)
#define SC_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define SC_PRINTF_FORMAT(fmt, args)
#endif

// Switches the log on, appending to the file at path (created when missing). The file is
// opened by the first line and kept open while the log is on.
void EnableLog(const std::string& path);
void DisableLog();
bool LogEnabled();

// Appends "[<asctime>] [<unit>][line: <line>] <message>\n". Calls from several threads are
// serialised, so lines never interleave.
void WriteLog(const char* unit, unsigned line, const char* format, ...) SC_PRINTF_FORMAT(3, 4);

// Shorthand for the calling unit: LOG("Store", "Call controller pause").
#define SC_LOG(unit, ...) WriteLog(unit, __LINE__, __VA_ARGS__)
