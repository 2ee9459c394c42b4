// ConvertBatch: the worker thread's body. It converts the KOB files named on the command line one
// after another, reports each file that cannot be converted in a message box and goes on with the
// next, and tells the main window when the list is done.
//
//     _beginthread(ConvertBatch, 0, commandLineText);
//
// The text is split at spaces (only spaces: no quoting), except that an argument of the program
// that names an existing file as a whole stays one name; it is written into while it is split,
// so it belongs to the worker once the thread has started. What became of each name goes into
// TheBatchReport(). A file that cannot even be opened stops
// the batch (a trace on standard error, no message box), unless the user asked to keep going. The thread ends itself with _endthread.
#pragma once

#include "convert/ProgressSink.h"
#include "platform/runtime/WinTypes.h"

#include <string>
#include <vector>

void ConvertBatch(void* commandLine);

// The window the batch reports to: the owner of its message boxes, told with doneMessage when
// the list is done, and the sink that shows each conversion's progress (null: none). Set before
// the worker starts; until then there is none.
struct BatchTarget {
    HWND window = nullptr;
    UINT doneMessage = 0;
    ProgressSink* progress = nullptr;
};
void SetBatchTarget(const BatchTarget& window);

// Every output of the batch goes into this folder (a descriptor from crt::OpenFolder) instead of
// beside its input; -1, as at the start, for beside. Set before the worker starts.
void SetOutputFolder(int folder);

// The names ConvertBatch will take from `commandLine`, split from a copy, the text left as it is:
// for the report, which names them all even when the program ends before the worker has begun.
std::vector<std::string> BatchNames(const char* commandLine);
