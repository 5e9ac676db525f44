#pragma once
// The last-error pair every driver keeps. It has a small lock of its own so that readers
// never wait for a driver's transaction lock and never see a half-written pair.
#include <mutex>
#include <string>

namespace orvapi {

class LastError {
public:
    void set(int code, const std::string& text) {
        std::lock_guard<std::mutex> guard(fieldsMutex);
        lastErrorCode = code;
        lastErrorText = text;
    }
    int code() const {
        std::lock_guard<std::mutex> guard(fieldsMutex);
        return lastErrorCode;
    }
    std::string text() const {
        std::lock_guard<std::mutex> guard(fieldsMutex);
        return lastErrorText;
    }

private:
    mutable std::mutex fieldsMutex;
    int lastErrorCode = 0;
    std::string lastErrorText;
};

}  // namespace orvapi
