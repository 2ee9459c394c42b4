// ProgressPanel: how a conversion shows, in the main window, the output file it is writing, that
// file's total and the progress of the work: the window's progress sink.
//
//     ProgressPanel panel;
//     panel.Start(totalBytes, outputSpec.name);   // name: length byte, then the characters
//     panel.Update(blockBytes);                    // as work is done
//     panel.Clear();                               // once the output file is complete
//
// It runs on the worker thread. Every control update is sent to the window thread without waiting
// for it (SendNotifyMessageA): the updates are handled in the order they were made, before any
// later send of the worker's, and the worker need not stop for the window a few times a file.
// An update that would change nothing the window shows is left out: a bar position it already
// has, the bar's range and step once set, and every bar position in a run whose windows nobody
// sees (the names are still sent: the window's model holds them whoever looks).
#pragma once

#include "convert/ProgressSink.h"
#include "platform/runtime/WinTypes.h"

#include <cstdint>

class ProgressPanel final : public ProgressSink {
public:
    // Names the file (a length-prefixed name of up to 255 characters) and its total; the bar
    // starts at 0 whatever the previous file left it at.
    void Start(std::uint32_t total, const std::uint8_t* name) override;
    void Update(std::uint32_t amount) override;
    void Clear() override;

    // The bar position for `done` of `total`: the ratio taken in double precision before it is
    // scaled and truncated, so 29 of 100 gives 28. A total of 0 gives 0.
    static int Position(std::uint32_t done, std::uint32_t total);

private:
    HWND mWindow = nullptr;     // the main window, bound by Start
    HWND mPrepared = nullptr;   // the window whose bar has its range and step
    bool mSeen = true;          // the display shows the windows: the bar is worth moving
    std::uint32_t mDone = 0;    // bytes of sample data done for the current file
    std::uint32_t mTotal = 0;   // bytes of sample data the current file will hold
    int mShown = 0;             // the bar position last sent; a send that would not move the
                                // bar is left out, so a file of many small blocks does not make
                                // the worker wait for the window thousands of times
};
