// How the display draws a control of the model in the classic look: statics (frames, filled
// rectangles, sunken edges and text cut at the control's edge), push buttons and the segmented
// progress bar. Other classes draw nothing of their own.
#pragma once

#include "platform/user/Model.h"
#include "platform/display/x11/Painter.h"

namespace platform::display::x11 {

void DrawControl(Painter& paint, Drawable target, const WindowView& view);

} // namespace platform::display::x11
