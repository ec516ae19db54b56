#include "shell/PanelHooks.h"

namespace movarel {

namespace {
struct PanelHooksState {
    PanelHooks Default;
    PanelHooks* Installed = nullptr;
};

PanelHooksState& HooksState() {
    static PanelHooksState state;
    return state;
}
}  // namespace

PanelHooks& Panels() {
    PanelHooksState& s = HooksState();
    return s.Installed != nullptr ? *s.Installed : s.Default;
}

PanelHooks* SetPanelHooks(PanelHooks* hooks) {
    PanelHooks* previous = HooksState().Installed;
    HooksState().Installed = hooks;
    return previous;
}

}  // namespace movarel
