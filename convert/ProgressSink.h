// ProgressSink: what a conversion tells whoever shows its progress: the output file it begins
// (its name and the bytes of sample data it will hold), the bytes done as they are done, and
// the file's end. The converter calls it on its own thread, in the order of the work; the
// program's window (ui/ProgressPanel) is one, and a conversion nobody watches reports to
// NoProgress().
//
//     sink.Start(totalBytes, outputSpec.name);   // name: length byte, then the characters
//     sink.Update(blockBytes);
//     sink.Clear();                               // once the output file is complete
#pragma once

#include <cstdint>

class ProgressSink {
public:
    virtual void Start(std::uint32_t total, const std::uint8_t* name) = 0;
    virtual void Update(std::uint32_t amount) = 0;
    virtual void Clear() = 0;

protected:
    ~ProgressSink() = default;
};

// The sink that shows nothing.
ProgressSink& NoProgress();
