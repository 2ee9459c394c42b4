#include "tests/x11/XServer.h"

#include "platform/runtime/ByteOrder.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <zlib.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace x11test {
namespace {

bool Installed(const char* program) {
    const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// The tests look at windows of another client, which may go at any moment: between listing the
// windows and reading one of them, say. Xlib's default handler would end the test program on
// the error that follows; the call only fails instead, and the tests read that as "not there".
int IgnoreError(Display*, XErrorEvent*) {
    return 0;
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// PNG numbers are big-endian.
void AppendBE32(std::vector<unsigned char>& out, std::uint32_t value) {
    out.resize(out.size() + 4);
    byteorder::PutBE32(out.data() + out.size() - 4, value);
}

// One PNG chunk: length, type, data, CRC over type and data.
void Chunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data) {
    AppendBE32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
    AppendBE32(out, static_cast<std::uint32_t>(crc));
}

} // namespace

XServer::XServer() {
    if (!Installed("Xvfb")) return;
    int fds[2];
    if (pipe(fds) != 0) return;
    mServer = fork();
    if (mServer == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        std::freopen("/dev/null", "w", stderr);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display number it took once it is ready for clients.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return;
    mName = ":" + number;
    XSetErrorHandler(IgnoreError);
    mDisplay = XOpenDisplay(mName.c_str());
}

XServer::~XServer() {
    if (mDisplay) XCloseDisplay(mDisplay);
    if (mServer > 0) {
        kill(mServer, SIGTERM);
        waitpid(mServer, nullptr, 0);
    }
}

void XServer::Kill() {
    if (mDisplay) XCloseDisplay(mDisplay);
    mDisplay = nullptr;
    if (mServer > 0) {
        kill(mServer, SIGKILL);
        waitpid(mServer, nullptr, 0);
    }
    mServer = -1;
}

std::string XServer::Title(Window window) {
    const Atom name = XInternAtom(mDisplay, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(mDisplay, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(mDisplay, window, name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    // Clients that only set the older, Latin-1 WM_NAME (xterm among them).
    char* latin = nullptr;
    if (title.empty() && XFetchName(mDisplay, window, &latin) && latin) {
        title = latin;
        XFree(latin);
    }
    return title;
}

Window XServer::WaitForWindow(const std::string& title, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(mDisplay, DefaultRootWindow(mDisplay), &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !found; ++i) {
                XWindowAttributes attributes;
                if (XGetWindowAttributes(mDisplay, children[i], &attributes) &&
                    attributes.map_state == IsViewable && Title(children[i]) == title) {
                    found = children[i];
                }
            }
            if (children) XFree(children);
        }
        if (found) return found;
        Sleep(20);
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
}

bool XServer::WaitForWindowGone(const std::string& title, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // Polled at the same pace as WaitForWindow: a tight loop of queries would take CPU from the
    // program under test.
    while (WaitForWindow(title, 0) != 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        Sleep(20);
    }
    return true;
}

std::uint32_t XServer::PixelAt(Window window, int x, int y) {
    XImage* image = XGetImage(mDisplay, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFFFFFFFFu;
    const auto pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
}

std::vector<std::uint32_t> XServer::Pixels(Drawable drawable, int x, int y, int w, int h) {
    XImage* image = XGetImage(mDisplay, drawable, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                              ZPixmap);
    if (!image) return {};
    std::vector<std::uint32_t> pixels;
    for (int row = 0; row < h; ++row)
        for (int column = 0; column < w; ++column)
            pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, column, row) & 0xFFFFFF));
    XDestroyImage(image);
    return pixels;
}

bool XServer::WaitForPixel(Window window, int x, int y, std::uint32_t rgb, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        if (PixelAt(window, x, y) == rgb) return true;
        Sleep(10);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void XServer::SetResources(const std::string& resources) {
    const Window root = DefaultRootWindow(mDisplay);
    if (resources.empty()) {
        XDeleteProperty(mDisplay, root, XA_RESOURCE_MANAGER);
    } else {
        XChangeProperty(mDisplay, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources.data()), static_cast<int>(resources.size()));
    }
    XSync(mDisplay, False);
}

bool XServer::SaveScreenshot(Window window, const std::string& path) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(mDisplay, window, &attributes)) return false;
    const int width = attributes.width, height = attributes.height;
    XImage* image = XGetImage(mDisplay, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image) return false;
    // Each row: filter byte 0, then red, green, blue per pixel.
    std::vector<unsigned char> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            raw.push_back(static_cast<unsigned char>(pixel >> 16));
            raw.push_back(static_cast<unsigned char>(pixel >> 8));
            raw.push_back(static_cast<unsigned char>(pixel));
        }
    }
    XDestroyImage(image);
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) return false;
    packed.resize(packedSize);

    std::vector<unsigned char> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    AppendBE32(header, static_cast<std::uint32_t>(width));
    AppendBE32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});   // 8 bits, truecolour, deflate, no filter, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", {});
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

int XServer::Xdotool(const std::string& arguments) {
    const std::string command = "DISPLAY=" + mName + " xdotool " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace x11test
