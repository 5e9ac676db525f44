#include "api/Conversions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "api/ResultCodes.h"
#include "link/LeException.h"

namespace orvapi::api {

namespace {

template <class Element, class Convert>
std::vector<Element> arrayIn(const int32_t* values, int32_t count, Convert convert) {
    std::vector<Element> list;
    if (count <= 0) return list;
    requireArgument(values);
    list.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) list.push_back(convert(values[i]));
    return list;
}

template <class List, class Convert>
void arrayOut(const List& list, int32_t* values, int32_t count, Convert convert) {
    if (count <= 0) return;  // no usable capacity: nothing is written
    requireArgument(values);
    const size_t n = std::min(static_cast<size_t>(count), list.size());
    for (size_t i = 0; i < n; ++i) values[i] = convert(list[i]);
}

}  // namespace

void requireArgument(const void* pointer) {
    if (pointer == nullptr) throw LeException("Invalid argument: null pointer", kErrorInvalid);
}

std::string textIn(const char* text) {
    requireArgument(text);
    return std::string(text);
}

int copyTextOut(const std::string& text, char* buffer, int32_t size) noexcept {
    if (buffer == nullptr || size <= 0) return kErrorInvalid;
    if (text.size() >= static_cast<size_t>(size)) {
        buffer[0] = '\0';
        return kErrorRange;
    }
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return 0;
}

void textOut(const std::string& text, char* buffer, int32_t size) {
    const int error = copyTextOut(text, buffer, size);
    if (error != 0) throw LeException("Error in string copy, probably buffer too small", error);
}

std::vector<int> intArrayIn(const int32_t* values, int32_t count) {
    return arrayIn<int>(values, count, [](int32_t v) { return static_cast<int>(v); });
}

std::vector<bool> flagArrayIn(const int32_t* values, int32_t count) {
    return arrayIn<bool>(values, count, flagIn);
}

void intArrayOut(const std::vector<int>& list, int32_t* values, int32_t count) {
    arrayOut(list, values, count, [](int v) { return static_cast<int32_t>(v); });
}

void flagArrayOut(const std::vector<bool>& list, int32_t* values, int32_t count) {
    arrayOut(list, values, count, [](bool v) { return flagOut(v); });
}

int32_t* mallocArrayOut(const std::vector<int>& list) {
    void* memory = std::malloc(std::max<size_t>(1, list.size()) * sizeof(int32_t));
    if (memory == nullptr) throw leFailure("Out of memory for the power reference array");
    auto* array = static_cast<int32_t*>(memory);
    std::copy(list.begin(), list.end(), array);
    return array;
}

}  // namespace orvapi::api
