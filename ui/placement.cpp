#include "ui/placement.h"

#include "ui/centering.h"

namespace {

// Systems before multiple monitors lack some of these exports; their metrics then have to be
// worked out from the primary screen. Only when all of them exist is the system trusted to answer
// the virtual-screen metrics itself.
const char* const kMultiMonitorExports[] = {
    "GetSystemMetrics",    "MonitorFromWindow", "MonitorFromRect",     "MonitorFromPoint",
    "EnumDisplayMonitors", "GetMonitorInfoA",   "EnumDisplayDevicesA",
};

// Detected once, on the first call; the answer cannot change while the process runs.
SystemMetricsFunction MultiMonitorMetrics() {
    static bool detected = false;
    static SystemMetricsFunction metrics = NULL;
    if (!detected) {
        // A GUI process always has USER32 loaded, so looking it up by name never loads anything.
        metrics = FindMultiMonitorMetrics(GetModuleHandleA("USER32"));
        detected = true;
    }
    return metrics;
}

ScreenRect ToScreenRect(const RECT& rect) {
    ScreenRect result = {rect.left, rect.top, rect.right, rect.bottom};
    return result;
}

}  // namespace

SystemMetricsFunction FindMultiMonitorMetrics(HMODULE user32) {
    if (user32 == NULL) {
        return NULL;
    }
    for (const char* name : kMultiMonitorExports) {
        if (GetProcAddress(user32, name) == NULL) {
            return NULL;
        }
    }
    // Through void* because a direct cast between unrelated function pointer types draws a
    // warning, although the export is exactly this function.
    return reinterpret_cast<SystemMetricsFunction>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetSystemMetrics")));
}

int EmulatedVirtualScreenMetric(int index) {
    switch (index) {
        case SM_XVIRTUALSCREEN:
        case SM_YVIRTUALSCREEN:
            return 0;
        case SM_CXVIRTUALSCREEN:
            return GetSystemMetrics(SM_CXSCREEN);
        case SM_CYVIRTUALSCREEN:
            return GetSystemMetrics(SM_CYSCREEN);
        case SM_CMONITORS:
        case SM_SAMEDISPLAYFORMAT:
            return 1;
        default:
            return GetSystemMetrics(index);
    }
}

int VirtualScreenMetric(int index) {
    SystemMetricsFunction metrics = MultiMonitorMetrics();
    return metrics != NULL ? metrics(index) : EmulatedVirtualScreenMetric(index);
}

void CenterWindow(HWND window, HWND owner) {
    if (owner == NULL) {
        owner = GetWindow(window, GW_OWNER);
    }
    // Centring over a minimised owner would put the window around the owner's icon, so the
    // desktop stands in for it, as it does for a missing owner.
    if (!IsWindow(owner) || IsIconic(owner)) {
        owner = GetDesktopWindow();
    }

    RECT ownerRect = {0, 0, 0, 0};
    RECT windowRect = {0, 0, 0, 0};
    GetWindowRect(owner, &ownerRect);
    GetWindowRect(window, &windowRect);

    const ScreenPoint position = CenteredPosition(ToScreenRect(ownerRect), ToScreenRect(windowRect),
                                                  VirtualScreenMetric(SM_CXVIRTUALSCREEN),
                                                  VirtualScreenMetric(SM_CYVIRTUALSCREEN));
    SetWindowPos(window, NULL, position.x, position.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
