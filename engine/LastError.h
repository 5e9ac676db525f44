#pragma once
// The last-error pair every driver keeps, behind a small lock of its own. A writer may hold its
// driver's lock as well (the text-protocol driver stores under its engine lock, so a store waits
// for a transaction in progress); readers take only this small lock, held while one field is
// copied, so they never wait for a transaction and never see a half-written pair.
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
