// What the window's font costs a start: opens the X11 display's text font (Xft and fontconfig,
// or the core font) on $DISPLAY in a fresh process, draws the dialog's texts once into a pixmap
// and waits for the server, then prints the milliseconds that took. bench/xft-startup runs it
// many times in alternation and prints the medians.
//   text_font_startup xft|xft-cjk|core
#include "platform/display/x11/TextFont.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace x11 = platform::display::x11;

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "xft";
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("text_font_startup: no X display\n", stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<x11::TextFont> font = mode == "core" ? x11::OpenCoreFont(display) : x11::OpenXftFont(display, 96.0);
    if (!font) {
        std::fputs("text_font_startup: no font\n", stderr);
        return 2;
    }
    const Pixmap pixmap = XCreatePixmap(display, DefaultRootWindow(display), 430, 238,
                                        static_cast<unsigned>(DefaultDepth(display, DefaultScreen(display))));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    // The texts of the main window as it first shows; with a CJK folder in the file name, whose
    // characters need a second font.
    const std::u32string name = mode == "xft-cjk" ? U"\u2026\u9332\u97f3\u30c6\u30fc\u30d7/konzert.wav"
                                                  : U"\u2026der_Gro\u00dfmutter/konzert.wav";
    for (const std::u32string& text : {std::u32string(U"(c) MORVIT: restores your KOB recordings"), name,
                                       std::u32string(U"1764000"), std::u32string(U"Previous"),
                                       std::u32string(U"Next"), std::u32string(U"Abort")}) {
        font->Draw(pixmap, gc, text, 10, 10 + font->Ascent(), RECT{0, 0, 430, 238}, 0, 0);
        (void)font->Width(text);
    }
    XSync(display, False);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f\n", ms);
    font.reset();
    XFreeGC(display, gc);
    XFreePixmap(display, pixmap);
    XCloseDisplay(display);
    return 0;
}
