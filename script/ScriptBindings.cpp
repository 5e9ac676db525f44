#include "script/ScriptBindings.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "chai/chaiscript.hpp"
#include "chai/lasting.hpp"
#include "engine/gen3/Gen3LightEngine.h"

namespace orvapi {

namespace {

// Registers the operations both modes share, in their fixed order. `bind` turns a member
// pointer into a script function: bound to one engine, or taking the engine as its object.
// The state getter is spelt differently in the two modes; scripts written for either rely on it.
template <class Script, class Bind>
void addOperations(Script& script, Bind bind, const char* multipleChannelsGetterName) {
    script.add(bind(&LightEngine::executeCommand), "executeCommand");
    script.add(bind(&LightEngine::connectCOM), "connectCOM");
    script.add(bind(&LightEngine::connectTCP), "connectTCP");
    script.add(bind(&LightEngine::disconnect), "disconnect");
    script.add(bind(&LightEngine::getVersion), "getVersion");
    script.add(bind(&LightEngine::getModel), "getModel");
    script.add(bind(&LightEngine::getSerialNumber), "getSerialNumber");
    script.add(bind(&LightEngine::getIP), "getIP");
    script.add(bind(&LightEngine::setIP), "setIP");
    script.add(bind(&LightEngine::getTemperature), "getTemperature");
    script.add(bind(&LightEngine::getStatusCode), "getStatusCode");
    script.add(bind(&LightEngine::getNumberOfChannels), "getNumberOfChannels");
    script.add(bind(&LightEngine::getChannelName), "getChannelName");
    script.add(bind(&LightEngine::setChannel), "setChannel");
    script.add(bind(&LightEngine::getChannel), "getChannel");
    script.add(bind(&LightEngine::setIntensity), "setIntensity");
    script.add(bind(&LightEngine::getIntensity), "getIntensity");
    script.add(bind(&LightEngine::setMultipleChannels), "setMultipleChannels");
    script.add(bind(&LightEngine::getMultipleChannels), multipleChannelsGetterName);
    script.add(bind(&LightEngine::setMultipleIntensities), "setMultipleIntensities");
    script.add(bind(&LightEngine::getMultipleIntensities), "getMultipleIntensities");
}

// An index outside the list is the script's error: an evaluation error, which the engine places
// at the call that asked for it.
template <class List>
auto elementAt(const List& list, int index) {
    if (index < 0 || static_cast<size_t>(index) >= list.size())
        throw chai::exception::eval_error("get: index " + std::to_string(index) + " is outside the list of " +
                                              std::to_string(list.size()) + " elements",
                                          std::string(), {});
    return list[static_cast<size_t>(index)];
}

// Functions collected for a chai::Bindings, in the order they are added.
struct Collected {
    std::vector<chai::Bindings::Entry> functions;
    void add(chai::Proxy_Function f, std::string name) { functions.emplace_back(std::move(f), std::move(name)); }
};

std::shared_ptr<const chai::Bindings> makeHandleBindings(LightEngine& engine) {
    const auto bound = [&engine](auto member) { return chai::fun(member, &engine); };
    Collected collected;
    addOperations(collected, bound, "getMutipleChannels");
    collected.add(bound(&LightEngine::getNumber), "getNumber");
    collected.add(bound(&LightEngine::getString), "getString");
    collected.add(bound(&LightEngine::throwLeException), "throwLeException");
    return std::make_shared<const chai::Bindings>(std::move(collected.functions));
}

// A handle runs many scripts: its bindings are made once and shared by their engines. They hold
// only the engine's address and run only while a script runs against the engine there, so a set
// made for an address serves whichever engine lives there later. A few handles are remembered.
struct RecentBindings {
    std::mutex mutex;
    std::vector<std::pair<const LightEngine*, std::shared_ptr<const chai::Bindings>>> sets;  // latest first
};

std::shared_ptr<const chai::Bindings> handleBindings(LightEngine& engine) {
    constexpr size_t kRemembered = 4;
    // Scripts may run from static objects' destructors at exit.
    static chai::Lasting<RecentBindings> lasting;
    RecentBindings& recent = lasting.get();
    {
        const std::lock_guard<std::mutex> lock(recent.mutex);
        for (auto it = recent.sets.begin(); it != recent.sets.end(); ++it)
            if (it->first == &engine) {
                std::rotate(recent.sets.begin(), it, it + 1);
                return recent.sets.front().second;
            }
    }
    auto made = makeHandleBindings(engine);
    const std::lock_guard<std::mutex> lock(recent.mutex);
    if (recent.sets.size() == kRemembered) recent.sets.pop_back();
    recent.sets.emplace(recent.sets.begin(), &engine, made);
    return made;
}

}  // namespace

void addHandleBindings(chai::ChaiScript& script, LightEngine& engine) { script.add(*handleBindings(engine)); }

void addConstructingBindings(chai::ChaiScript& script) {
    const auto unbound = [](auto member) { return chai::fun(member); };
    script.add(chai::user_type<Gen3LightEngine>(), "Gen3LightEngine");
    script.add(chai::constructor<Gen3LightEngine()>(), "Gen3LightEngine");
    // The operations are members of the interface; a constructed engine is usable through them.
    script.add(chai::base_class<LightEngine, Gen3LightEngine>());
    addOperations(script, unbound, "getMultipleChannels");
    script.add(chai::vector_conversion<std::vector<int>>());
    script.add(chai::fun([](const std::vector<int>& list) { return static_cast<uint64_t>(list.size()); }), "size");
    script.add(chai::fun([](const std::vector<bool>& list) { return static_cast<uint64_t>(list.size()); }), "size");
    script.add(chai::fun([](const std::vector<int>& list, int index) { return elementAt(list, index); }), "get");
    script.add(chai::fun([](const std::vector<bool>& list, int index) -> bool { return elementAt(list, index); }),
               "get");
    script.add(unbound(&LightEngine::getNumber), "getNumber");
    script.add(unbound(&LightEngine::getString), "getString");
    script.add(unbound(&LightEngine::throwLeException), "throwLeException");
}

}  // namespace orvapi
