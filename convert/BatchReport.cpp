#include "convert/BatchReport.h"

#include "platform/runtime/Crt.h"
#include "platform/runtime/NeverDestroyed.h"
#include "platform/text/EscapedName.h"

#include <cstring>

namespace {

// A name as the report writes it: one line per fact whatever the name holds, undone exactly by
// a script (README: Restoring an archive).
std::string Shown(const std::string& name) {
    return platform::EscapeName(name, platform::NameUse::Report);
}

std::string WroteLine(const std::string& name, const BatchReport::Output& output) {
    std::string line = Shown(name) + ": wrote " + Shown(output.wave);
    if (output.damagedStretches > 0) {
        line += ", " + std::to_string(output.damagedStretches) + " damaged stretch" +
                (output.damagedStretches == 1 ? "" : "es") + " silenced, listed in " + Shown(output.listing);
    }
    return line + "\n";
}

// Why a name that was neither converted nor refused was not converted.
const char* NotConvertedBecause(BatchReport::Outcome outcome) {
    switch (outcome) {
    case BatchReport::Outcome::ListEnded: return "the list ended at a file that could not be opened";
    case BatchReport::Outcome::Converting: return "the program was stopped during it; its unfinished file is removed";
    default: return "the program was stopped before it";
    }
}

} // namespace

void BatchReport::Begin(std::vector<std::string> names) {
    std::lock_guard<std::mutex> lock(mMutex);
    mEntries.clear();
    for (std::string& name : names) {
        Entry entry;
        entry.name = std::move(name);
        mEntries.push_back(std::move(entry));
    }
    mCurrent = mEntries.size();
    mFinished = false;
}

void BatchReport::Start(std::size_t index) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (index >= mEntries.size()) return;
    mCurrent = index;
    mEntries[index].outcome = Outcome::Converting;
}

void BatchReport::Wrote(const Output& output) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCurrent < mEntries.size()) mEntries[mCurrent].outputs.push_back(output);
}

void BatchReport::End(Outcome outcome, int error) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCurrent >= mEntries.size()) return;
    mEntries[mCurrent].outcome = outcome;
    mEntries[mCurrent].error = error;
    mCurrent = mEntries.size();
}

void BatchReport::EndList() {
    std::lock_guard<std::mutex> lock(mMutex);
    for (Entry& entry : mEntries)
        if (entry.outcome == Outcome::NotReached) entry.outcome = Outcome::ListEnded;
}

void BatchReport::Finish() {
    std::lock_guard<std::mutex> lock(mMutex);
    mFinished = true;
}

BatchReport::Ending BatchReport::Conclude() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return {Text(), Succeeded(), mFinished};
}

std::string BatchReport::Text() const {
    std::string text;
    int converted = 0, damaged = 0, notKob = 0, cannotOpen = 0, notConverted = 0;
    for (const Entry& entry : mEntries) {
        for (const Output& output : entry.outputs) {
            // Told but never kept: the program was stopped in between, and the file goes.
            if (crt::IsUnfinished(output.wave.c_str())) continue;
            text += WroteLine(entry.name, output);
        }
        switch (entry.outcome) {
        case Outcome::Converted: {
            ++converted;
            bool anyDamage = false;
            for (const Output& output : entry.outputs) anyDamage = anyDamage || output.damagedStretches > 0;
            damaged += anyDamage;
            if (entry.outputs.empty()) text += Shown(entry.name) + ": holds no recording\n";
            break;
        }
        case Outcome::NotKob:
            ++notKob;
            text += Shown(entry.name) + ": not a KOB file or corrupted\n";
            break;
        case Outcome::CannotOpen:
            ++cannotOpen;
            text += Shown(entry.name) + ": could not be opened: " + std::strerror(entry.error) + "\n";
            break;
        case Outcome::ListEnded:
        case Outcome::Converting:
        case Outcome::NotReached:
            ++notConverted;
            text += Shown(entry.name) + ": not converted: " + NotConvertedBecause(entry.outcome) + "\n";
            break;
        }
    }
    text += "dudez: " + std::to_string(mEntries.size()) + (mEntries.size() == 1 ? " name, " : " names, ") +
            std::to_string(converted) + " converted (" + std::to_string(damaged) + " with damage), " +
            std::to_string(notKob) + " not a KOB file or corrupted, " + std::to_string(cannotOpen) +
            " could not be opened, " + std::to_string(notConverted) + " not converted" +
            (mFinished ? "" : "; ended before the list was done") + "\n";
    return text;
}

bool BatchReport::Succeeded() const {
    if (!mFinished) return false;
    for (const Entry& entry : mEntries)
        if (entry.outcome != Outcome::Converted) return false;
    return true;
}

BatchReport& TheBatchReport() {
    // WATCHOUT: never destroyed: the worker may still record while static objects go at exit.
    static platform::NeverDestroyed<BatchReport> object;
    return object.get();
}
