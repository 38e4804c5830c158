// Placement of the setup dialog: centred over its owner and kept on the virtual screen, with the
// virtual screen measured in a way that also works where USER32 knows only one monitor.
#pragma once

#include <windows.h>

// The system metric `index`. Where USER32 offers the multi-monitor functions the metric comes
// from the system; elsewhere the virtual-screen metrics are answered from the primary screen.
int VirtualScreenMetric(int index);

// Moves `window` so that it is centred over `owner` (or, when `owner` is null, over the window's
// own owner) and lies inside the virtual screen. An owner that is not a window or is minimised is
// replaced by the desktop. The window keeps its size and z-order and is not activated.
void CenterWindow(HWND window, HWND owner);

// The parts VirtualScreenMetric is made of, open to tests.
typedef int(WINAPI* SystemMetricsFunction)(int index);

// USER32's own GetSystemMetrics from `user32`, or null unless the module exports every one of the
// multi-monitor functions (a null module exports none).
SystemMetricsFunction FindMultiMonitorMetrics(HMODULE user32);

// The metric as a single-monitor system has to answer it.
int EmulatedVirtualScreenMetric(int index);
