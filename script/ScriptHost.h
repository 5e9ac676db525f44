#pragma once
// Runs a ChaiScript file against a light engine. Every call builds a fresh script engine,
// registers the bindings, evaluates the file and tears the engine down again.
#include <string>

#include "engine/LightEngine.h"

namespace orvapi {

// With an engine, its operations are global script functions bound to it; without one
// (nullptr), scripts construct their own "Gen3LightEngine" objects. Every failure leaves as
// one LeException: the operation's own for a failed light-engine operation, code -1 for the
// script's (with "file#line#column#" before an evaluation error's text, or "Script exception: ").
void runScript(LightEngine* engine, const std::string& path);

}  // namespace orvapi
