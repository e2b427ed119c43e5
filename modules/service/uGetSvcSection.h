// The section of "UserWinSvc.ini" that lists the system services of a Windows version.
#pragma once

#include <string>

// "Services_XP", "Services_WIN10", ... for a Windows version name ("Windows 10");
// empty for a version without a section.
std::string GetSvcSection(const std::string& OSName);
