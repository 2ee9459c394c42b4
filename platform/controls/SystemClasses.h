// The registration of the system's control classes.
#pragma once

namespace platform::controls {

// Registers "static", "button", "msctls_progress32" and the dialog class "#32770". The class
// table calls it once, before its first use.
void RegisterSystemClasses();

} // namespace platform::controls
