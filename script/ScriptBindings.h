#pragma once
// What a script sees of a light engine.
namespace chai {
class ChaiScript;
}

namespace orvapi {

class LightEngine;

// A given engine's operations as global functions bound to it.
void addHandleBindings(chai::ChaiScript& script, LightEngine& engine);
// The "Gen3LightEngine" type, its constructor, the operations as members, and list helpers.
void addConstructingBindings(chai::ChaiScript& script);

}  // namespace orvapi
