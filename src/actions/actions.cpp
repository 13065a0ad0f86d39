#include "actions/actions.h"
#include "actions/action_host.h"

namespace kx9 {
void AttachActions(ActionHost &) {}
} // namespace kx9
