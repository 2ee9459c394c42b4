#include "convert/BatchReport.h"

#include "convert/RunOptions.h"
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
    if (output.checked) {
        std::string line = Shown(name) + ": would write " + Shown(output.wave);
        if (output.damagedStretches == 0) return line + ", whole\n";
        return line + ", " + std::to_string(output.damagedStretches) + " damaged stretch" +
               (output.damagedStretches == 1 ? "" : "es") + " to silence: " + output.stretches + "\n";
    }
    std::string line = Shown(name) + ": wrote " + Shown(output.wave);
    if (output.damagedStretches > 0) {
        line += ", " + std::to_string(output.damagedStretches) + " damaged stretch" +
                (output.damagedStretches == 1 ? "" : "es") + " silenced, listed in " + Shown(output.listing);
    }
    return line + "\n";
}

std::string Stretches(long count) {
    return std::to_string(count) + " damaged stretch" + (count == 1 ? "" : "es") + " silenced";
}

// The line of a recording written under --rescue: how it came back, in words.
std::string DescribedLine(const std::string& name, const BatchReport::Output& output, const std::string& how) {
    // A check names what a rescue would write, and the stretches themselves: there is no listing.
    std::string line = Shown(name) + (output.checked ? ": would write " : ": wrote ") + Shown(output.wave);
    const std::string listed = output.checked ? ": " + output.stretches : ", listed in " + Shown(output.listing);
    if (how.empty()) {
        line += output.damagedStretches == 0 ? ", restored whole" : ", restored with " + Stretches(output.damagedStretches) + listed;
    } else {
        line += ", rescued (" + Shown(how) + "), " +
                (output.damagedStretches == 0 ? std::string("no stretch silenced") : Stretches(output.damagedStretches) + listed);
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

void BatchReport::Withdraw() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCurrent < mEntries.size() && !mEntries[mCurrent].outputs.empty()) mEntries[mCurrent].outputs.pop_back();
}

void BatchReport::CouldNotWrite(const std::string& path, int error) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCurrent >= mEntries.size() || !mEntries[mCurrent].unwritten.empty()) return;
    mEntries[mCurrent].unwritten = path.empty() ? "?" : path;
    mEntries[mCurrent].writeError = error;
}

void BatchReport::Described(const std::string& how) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCurrent < mEntries.size() && !mEntries[mCurrent].outputs.empty())
        mEntries[mCurrent].described.emplace_back(mEntries[mCurrent].outputs.size() - 1, how);
}

void BatchReport::NotFound(const std::string& what) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCurrent < mEntries.size()) mEntries[mCurrent].notFound.push_back(what);
}

void BatchReport::MayRescue() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCurrent < mEntries.size()) mEntries[mCurrent].mayRescue = true;
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
    const bool quiet = TheRunOptions().quiet;
    std::string text;
    int converted = 0, damaged = 0, notKob = 0, cannotOpen = 0, notConverted = 0, unwritten = 0;
    for (const Entry& entry : mEntries) {
        for (std::size_t i = 0; i < entry.outputs.size(); ++i) {
            const Output& output = entry.outputs[i];
            // Told but never named: the program was stopped in between, and the file goes.
            if (!output.pending.empty() && crt::IsUnfinished(output.folder, output.pending)) continue;
            const std::string* how = nullptr;
            for (const auto& [index, words] : entry.described)
                if (index == i) how = &words;
            // Quiet: only what went wrong (damage, or what a rescue had to infer), and the summary.
            if (quiet && output.damagedStretches == 0 && (!how || how->empty())) continue;
            text += how ? DescribedLine(entry.name, output, *how) : WroteLine(entry.name, output);
        }
        for (const std::string& what : entry.notFound) text += Shown(entry.name) + ": not restored: " + Shown(what) + "\n";
        switch (entry.outcome) {
        case Outcome::Converted: {
            ++converted;
            bool anyDamage = false;
            for (const Output& output : entry.outputs) anyDamage = anyDamage || output.damagedStretches > 0;
            // Under --rescue: a recording rescued, or something not found, is damage too.
            for (const auto& described : entry.described) anyDamage = anyDamage || !described.second.empty();
            anyDamage = anyDamage || !entry.notFound.empty();
            damaged += anyDamage;
            if (entry.outputs.empty()) text += Shown(entry.name) + ": holds no recording\n";
            break;
        }
        case Outcome::NotKob:
            if (!entry.unwritten.empty()) {
                // The content was not at fault: say what was.
                ++unwritten;
                text += Shown(entry.name) + ": could not write " + Shown(entry.unwritten) + ": " + std::strerror(entry.writeError) + "\n";
                break;
            }
            ++notKob;
            text += Shown(entry.name) + ": not a KOB file or corrupted\n";
            if (entry.mayRescue)
                text += Shown(entry.name) + ": holds the signatures of entries or blocks: --rescue may restore part of it\n";
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
            std::to_string(notKob) + " not a KOB file or corrupted, " +
            (unwritten > 0 ? std::to_string(unwritten) + " could not be written, " : "") + std::to_string(cannotOpen) +
            " could not be opened, " + std::to_string(notConverted) + " not converted" +
            (mFinished ? "" : "; ended before the list was done") + "\n";
    return text;
}

bool BatchReport::Succeeded() const {
    if (!mFinished) return false;
    for (const Entry& entry : mEntries) {
        if (entry.outcome != Outcome::Converted) return false;
        // A check succeeds only when everything is whole.
        for (const Output& output : entry.outputs)
            if (output.checked && output.damagedStretches > 0) return false;
    }
    return true;
}

BatchReport& TheBatchReport() {
    // WATCHOUT: never destroyed: the worker may still record while static objects go at exit.
    static platform::NeverDestroyed<BatchReport> object;
    return object.get();
}
