// Access to the state a control class keeps for one of its windows.
//
//     int position = WithControlState<ProgressState>(bar, [](ProgressState& s) { return s.position; });
#pragma once

#include "platform/user/Window.h"

#include <memory>

namespace platform::controls {

// Calls `use` with the window's state of type State (made on first use) under the model lock and
// returns its result; a default result when the window is gone. `use` must not call out.
template <typename State, typename Use>
auto WithControlState(HWND window, Use use) -> decltype(use(std::declval<State&>())) {
    user::ModelLock lock(user::ModelMutex());
    user::Window* record = user::Find(window);
    if (!record) return {};
    if (!record->control) record->control = std::make_unique<State>();
    auto* state = dynamic_cast<State*>(record->control.get());
    if (!state) return {};
    return use(*state);
}

} // namespace platform::controls
