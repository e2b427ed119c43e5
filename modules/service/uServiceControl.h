// Stopping and starting one service, the day rule for services whose stop hung, and
// the services this program never stops.
#pragma once

#include <cstdint>
#include <string>

// The current state of a service: SERVICE_STOPPED when the service manager cannot be
// opened, 0 when the service cannot be opened or its status cannot be read.
uint32_t GetServiceState(const std::string& Name);
bool IsServiceRunning(const std::string& Name);
// Sends the stop control and waits (at most about half a second while the service
// reports progress) until it is stopped; whether it is.
bool StopService(const std::string& Name);
// Starts the service and waits the same way until it runs; whether it does.
bool StartService(const std::string& Name);
// Whether Name is a Win32 service (own or shared process) of this machine.
bool IsWin32Service(const std::string& Name);

// Services whose loss breaks the system's security or stability, or that this
// program needs itself; never stopped, whatever the user's lists say.
bool IsNeverStopService(const std::string& Name);

// The day number (whole days since 30 December 1899) of the local date today.
int32_t TodayNumber();
// "StopServiceFail" in "ServiceBoost.ini" of Folder: the day a stop of Name timed out.
void MarkStopFail(const std::string& Folder, const std::string& Name);
bool StopFailedToday(const std::string& Folder, const std::string& Name);
