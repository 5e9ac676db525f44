#include "link/platform/BrokenPipe.h"

namespace orvapi::platform {

BrokenPipeShield::BrokenPipeShield() = default;

BrokenPipeShield::~BrokenPipeShield() = default;

}  // namespace orvapi::platform
