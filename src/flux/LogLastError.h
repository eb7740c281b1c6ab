#pragma once

// Two log lines under the unit "Store": the marker, then the system's text for the thread's
// last error. Used to trace where saving the settings file went wrong.
void LogLastError(const char* marker);
