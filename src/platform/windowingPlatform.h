#pragma once

namespace platform {

// Call before the application object exists. Runs on X11 wherever an X display is at hand, also
// through XWayland on a Wayland desktop: Wayland gives a client neither a window position nor
// "stay on top", so the window would open at no fixed place and 常に前面へ would do nothing.
// A platform the user chose (QT_QPA_PLATFORM, -platform) stands.
void preferX11WhereAvailable();

} // namespace platform
