// What the command line's options ask of a run, read once by the start-up code before any
// thread starts and only read afterwards. Without options every field keeps its default and the
// program behaves as it always has.
#pragma once

#include <string>

struct RunOptions {
    enum class Window {
        Auto,     // shown when the run has a terminal for its input, or asked for
        Always,   // --window: the desktop entry asks for it
        Never,    // --no-window: every run headless
    };

    std::string outputFolder;   // -o DIR: every output goes there; empty: beside each input
    bool test = false;          // -t: read and check everything, create nothing
    bool keepGoing = false;     // -k: a file that cannot be opened does not end the list
    bool rescue = false;        // --rescue: restore what the plain reader gives up on
    bool quiet = false;         // -q: no report line for a recording written whole
    Window window = Window::Auto;
};

// The run's options. Written by the start-up code alone, before the worker starts.
RunOptions& TheRunOptions();
