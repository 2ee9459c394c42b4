// Keeps what the program writes to standard output and standard error off the terminal while
// the window is drawn there, and writes it out when the window is gone.
//
// Only the streams that go to the terminal given are held back (into one unnamed temporary file,
// so that their order is kept); streams that go to a file or a pipe are left alone.
//
//     HeldOutput::Begin(ttyDescriptor);   // before anything is written
//     ...
//     HeldOutput::Release();              // once the screen is restored
#pragma once

namespace platform::display::terminal {

class HeldOutput {
public:
    // Starts holding back the standard streams that write to the terminal `tty`.
    static void Begin(int tty);
    // Gives the streams back and writes out what was held. Async-signal-safe when `flushStdio` is
    // false (stdio buffers are then left as they are). Later calls do nothing.
    static void Release(bool flushStdio = true);
};

} // namespace platform::display::terminal
