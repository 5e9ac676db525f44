#include "engine/LightEngine.h"

namespace orvapi {

int LightEngine::getNumber() { return 42; }

std::string LightEngine::getString(int value) { return std::to_string(value); }

}  // namespace orvapi
