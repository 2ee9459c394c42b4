// The X libraries (Xlib, Xft, fontconfig), loaded when a window is first wanted, not at every
// start. With what they link (xcb, freetype, png, brotli, expat...) they are a dozen shared
// libraries, about a millisecond of every run's start to map and relocate, and a run without a
// window (a script's, a terminal's) has no use for them. A machine without them still converts.
//
// Every function the display calls is a pointer of the same name declared here, in the
// display's namespace: a call `XOpenDisplay(...)` from inside it finds the pointer before the
// library's own declaration, so the code reads as plain Xlib. Include this after the X headers.
//
//     if (!x11::LoadXLibraries()) return nullptr;   // before the first call; true once loaded
#pragma once

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>

#if DUDEZ_HAVE_XFT
#include <X11/Xft/Xft.h>
#include <fontconfig/fontconfig.h>
#endif

// X(name) for each function, by the library that has it.
#define DUDEZ_XLIB_FUNCTIONS(X)                                                                     \
    X(XAllocColor) X(XChangeProperty) X(XCloseDisplay) X(XCopyArea) X(XCreateGC) X(XCreateImage)   \
    X(XCreatePixmap) X(XCreateSimpleWindow) X(XDestroyWindow) X(XDrawArc) X(XDrawLine)             \
    X(XDrawRectangle) X(XDrawString16) X(XFillArc) X(XFillRectangle) X(XFlush) X(XFreeFont)        \
    X(XFreeGC) X(XFreePixmap) X(XGetGeometry) X(XInternAtom) X(XLoadQueryFont) X(XLookupKeysym)    \
    X(XMapRaised) X(XMapWindow) X(XNextEvent) X(XOpenDisplay) X(XPending) X(XPutImage)             \
    X(XResourceManagerString) X(XSelectInput) X(XSetClassHint) X(XSetClipMask)                     \
    X(XSetClipRectangles) X(XSetDashes) X(XSetErrorHandler) X(XSetFont) X(XSetForeground)          \
    X(XSetIOErrorHandler) X(XSetInputFocus) X(XSetLineAttributes) X(XSetTransientForHint)          \
    X(XSetWMNormalHints) X(XSetWMProtocols) X(XStoreName) X(XTextWidth16) X(XTranslateCoordinates) \
    X(XrmDestroyDatabase) X(XrmGetResource) X(XrmGetStringDatabase) X(XrmInitialize)

#define DUDEZ_XFT_FUNCTIONS(X)                                                                      \
    X(XftCharExists) X(XftColorAllocValue) X(XftColorFree) X(XftDefaultSubstitute) X(XftDrawCreate) \
    X(XftDrawDestroy) X(XftDrawSetClipRectangles) X(XftDrawString32) X(XftFontClose)               \
    X(XftFontOpenPattern) X(XftTextExtents32)

#define DUDEZ_FONTCONFIG_FUNCTIONS(X)                                                               \
    X(FcCharSetAddChar) X(FcCharSetCreate) X(FcCharSetDestroy) X(FcConfigSubstitute) X(FcFontMatch) \
    X(FcPatternAddBool) X(FcPatternAddCharSet) X(FcPatternAddDouble) X(FcPatternAddString)          \
    X(FcPatternCreate) X(FcPatternDestroy) X(FcPatternDuplicate)

namespace platform::display {

#define DUDEZ_X_POINTER(name) extern decltype(&::name) name;
DUDEZ_XLIB_FUNCTIONS(DUDEZ_X_POINTER)
#if DUDEZ_HAVE_XFT
DUDEZ_XFT_FUNCTIONS(DUDEZ_X_POINTER)
DUDEZ_FONTCONFIG_FUNCTIONS(DUDEZ_X_POINTER)
#endif
#undef DUDEZ_X_POINTER

namespace x11 {

// Loads Xlib (and Xft and fontconfig, where the program was built with them) once; false when
// Xlib cannot be had. Without Xft the text is drawn in the server's core fonts.
bool LoadXLibraries();
// Whether Xft and fontconfig were loaded.
bool HaveXft();

} // namespace x11
} // namespace platform::display
