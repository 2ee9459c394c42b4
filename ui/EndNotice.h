// The end of a run told to the desktop: when the window was shown on a desktop, a notification
// whose title says whether anything was damaged or failed and whose text is the report's
// summary line. A run started from a file manager has no terminal for the report.
#pragma once

#include <string>

// `report` is the report's text, its last line the summary; `succeeded` is the exit status's
// verdict (every name converted, the list done).
void NotifyDesktopOfEnd(const std::string& report, bool succeeded);

// The notification's title for that report.
std::string EndNoticeTitle(const std::string& summary, bool succeeded);
