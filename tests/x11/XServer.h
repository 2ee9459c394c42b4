// A private X server for the tests (Xvfb on a display number it picks itself), a client
// connection to it, and what the tests read back from it: top-level windows by title, their
// pixels, and screenshots as PNG files.
#pragma once

#include <X11/Xlib.h>

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace x11test {

class XServer {
public:
    XServer();   // starts Xvfb; Running() is false when it cannot be started
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool Running() const { return mDisplay != nullptr; }
    // Ends the server at once, the way a display goes when its session dies, and the tests'
    // own connection with it.
    void Kill();
    Display* Connection() const { return mDisplay; }
    const std::string& Name() const { return mName; }   // ":N"

    // The top-level window whose title is `title`, waiting up to `timeoutMs`; 0 if none came.
    Window WaitForWindow(const std::string& title, int timeoutMs = 20000);
    // Waits until no top-level window with that title is shown; false if one still is.
    bool WaitForWindowGone(const std::string& title, int timeoutMs = 5000);
    // The window's title as the window manager reads it (_NET_WM_NAME, else WM_NAME), empty when
    // it has none.
    std::string Title(Window window);
    // 0x00RRGGBB of the pixel at (x, y) of the window.
    std::uint32_t PixelAt(Window window, int x, int y);
    // Waits until the pixel reads `rgb`; false if it still does not after the timeout.
    bool WaitForPixel(Window window, int x, int y, std::uint32_t rgb, int timeoutMs = 5000);
    // 0x00RRGGBB of the w x h pixels at (x, y) of the drawable, row by row; empty when they
    // cannot be read.
    std::vector<std::uint32_t> Pixels(Drawable drawable, int x, int y, int w, int h);
    // Writes the whole window as an RGB PNG file.
    bool SaveScreenshot(Window window, const std::string& path);
    // Sets the X resources the desktop would have put on the root window (what xrdb does), such
    // as "Xft.dpi:\t192\n"; an empty text takes them away.
    void SetResources(const std::string& resources);
    // Runs xdotool with these arguments against this server; its exit code.
    int Xdotool(const std::string& arguments);

private:
    pid_t mServer = -1;
    Display* mDisplay = nullptr;
    std::string mName;
};

} // namespace x11test
