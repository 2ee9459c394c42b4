#include "ui/EndNotice.h"

#include "platform/desktop/DesktopNotification.h"
#include "platform/user/DisplayDriver.h"

#include <regex>

namespace {

// The summary line: the report's last line.
std::string SummaryOf(const std::string& report) {
    std::string text = report;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t start = text.rfind('\n');
    return start == std::string::npos ? text : text.substr(start + 1);
}

} // namespace

std::string EndNoticeTitle(const std::string& summary, bool succeeded) {
    // The summary counts the converted names with damage as "(N with damage)".
    static const std::regex kDamage(R"(\(([0-9]+) with damage\))");
    std::smatch found;
    const bool damaged = std::regex_search(summary, found, kDamage) && found[1] != "0";
    if (!succeeded) return damaged ? "DUDEZ: something failed, and damage was silenced" : "DUDEZ: something failed";
    return damaged ? "DUDEZ: done, damage was silenced" : "DUDEZ: done, nothing damaged or failed";
}

void NotifyDesktopOfEnd(const std::string& report, bool succeeded) {
    if (!platform::display::Current().ShowedDesktopWindow()) return;
    const std::string summary = SummaryOf(report);
    platform::desktop::Notify(EndNoticeTitle(summary, succeeded), summary);
}
