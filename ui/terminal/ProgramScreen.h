// The program's window as the terminal display draws it: the main window's scene read off the
// model, the words of the page the picture panel shows, laid out for the terminal's size.
//
//     OpenTerminalDisplay(ui::terminal::MakeProgramScreen());
#pragma once

#include "platform/display/terminal/TerminalScreen.h"

#include <memory>

namespace ui::terminal {

std::unique_ptr<platform::display::terminal::TerminalScreen> MakeProgramScreen();

} // namespace ui::terminal
