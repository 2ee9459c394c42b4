// BatchReport: what became of every name on the command line, for the lines the program prints
// when it ends and for its exit status. After 300 files, the report is how a person or a script
// learns which WAVE file came from which KOB file, which files failed and why, and which had
// damage.
//
//     BatchReport& report = TheBatchReport();
//     report.Begin({"a.kob", "b.kob"});      // the batch driver, once the names are known
//     report.Start(0);                       // converting "a.kob"
//     report.Wrote({"take.wav", 2, "take.wav.err"});
//     report.End(BatchReport::Outcome::Converted);
//     ...
//     report.Finish();                       // the list is done
//     std::fputs(report.Conclude().text.c_str(), stdout);
//
// The worker records; the window thread reads at the end while the worker may still be at work
// (a stopped program never waits for it), so every call takes the report's lock. Calls about a
// name when no name is being converted (the converter run on its own, in tests) are ignored.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

class BatchReport {
public:
    enum class Outcome {
        NotReached,   // the program ended first
        Converting,   // the program ended while it was being converted
        Converted,    // every recording written (damaged stretches silenced and listed)
        NotKob,       // "not a KOB file or corrupted": the message box
        CannotOpen,   // "could not be opened": the batch stopped there
        ListEnded,    // not converted because a name before it could not be opened
    };

    // One WAVE file written whole (or, in a check, that would be).
    struct Output {
        std::string wave;        // its path, as written (the input's folder as given)
        long damagedStretches;   // listed in the listing; 0 when there is none
        std::string listing;     // the listing's path, "" when none
        bool checked = false;    // a check that wrote nothing
        std::string stretches;   // a check's damaged stretches, in words
        // Told just before the file gets its name: while the file is still unfinished under its
        // hidden name `pending` in `folder`, it is left out (a stop in between removes it).
        int folder = -100;
        std::string pending;
    };

    // Forgets every earlier batch and takes the names, in command-line order.
    void Begin(std::vector<std::string> names);
    void Start(std::size_t index);
    // For the name being converted.
    void Wrote(const Output& output);
    // Takes back the last output told, whose name went to someone else before it was given.
    void Withdraw();
    // An output of the name being converted could not be created or written (path as shown,
    // error the system's reason): the name was not converted because of the output, not of its
    // content. The first such failure is the one reported.
    void CouldNotWrite(const std::string& path, int error);
    // Under --rescue, how the recording written last came back: "" when from an entry that
    // passed its tests (its line then says restored whole, or with its damaged stretches),
    // else what was inferred (its line says rescued, and that).
    void Described(const std::string& how);
    // Under --rescue, something of the name being converted that could not be restored.
    void NotFound(const std::string& what);
    // A file refused without --rescue that holds the signatures of entries or blocks.
    void MayRescue();
    // Ends the name being converted; `error` is the reason of CannotOpen.
    void End(Outcome outcome, int error = 0);
    // Every name after the current one: not converted, the list ended early.
    void EndList();
    // The driver got to the end of the list.
    void Finish();

    // What the program prints and the status it ends with, both as of one moment: the worker
    // may still record (the end of the list) while the program ends. Read it once the file
    // work has stopped: a WAVE file still unfinished then is removed at exit and is left out.
    struct Ending {
        // One line per WAVE file written and one for each name that did not convert whole, in
        // command-line order, then a summary line with the counts.
        std::string text;
        // Every name converted and the list done: the program's exit status is 0.
        bool succeeded;
        // The list was done: the program was not stopped before Done.
        bool finished;
    };
    Ending Conclude() const;

private:
    struct Entry {
        std::string name;
        Outcome outcome = Outcome::NotReached;
        int error = 0;
        std::vector<Output> outputs;
        std::string unwritten;    // the output that could not be written, "" when none
        int writeError = 0;       // and why
        std::vector<std::pair<std::size_t, std::string>> described;   // output index, how
        std::vector<std::string> notFound;
        bool mayRescue = false;
    };

    // The two halves of Conclude(); the caller holds the lock.
    std::string Text() const;
    bool Succeeded() const;

    mutable std::mutex mMutex;
    std::vector<Entry> mEntries;
    std::size_t mCurrent = 0;   // index of the name being converted; mEntries.size() for none
    bool mFinished = false;
};

// The program's one report.
BatchReport& TheBatchReport();
