// DPI awareness decided at start-up: a screen at 96 pixels per inch that is large
// enough is left alone; otherwise the process becomes DPI-aware when the user's
// applied DPI is 96 or the work area is small.
#pragma once

// The screen size test: the longer side at least 1350 (and 940), the shorter side
// minus 40 at least 640.
bool NeedScale(int Width, int Height);
void InitDPIAware();
