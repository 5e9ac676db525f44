#pragma once
// Argument and result conversions shared by the exports.
#include <cstdint>
#include <string>
#include <vector>

namespace orvapi::api {

// Throws LeException("Invalid argument: null pointer", 22) for a null pointer.
void requireArgument(const void* pointer);

// Stores what get() returns through a checked out-pointer; get() runs only for a valid pointer.
template <class T, class Get>
void valueOut(T* out, Get get) {
    requireArgument(out);
    *out = static_cast<T>(get());
}

// A NUL-terminated text argument.
std::string textIn(const char* text);

// Flags at the boundary: true only for exactly 1; out as 1 or 0.
inline bool flagIn(int32_t value) {
    return value == 1;
}
inline int32_t flagOut(bool value) {
    return value ? 1 : 0;
}

// Copies text and NUL into a caller's buffer. Returns 0, kErrorRange or kErrorInvalid; on
// failure only the first byte is cleared (when there is one).
int copyTextOut(const std::string& text, char* buffer, int32_t size) noexcept;
// The same, failing the export with "Error in string copy, probably buffer too small".
void textOut(const std::string& text, char* buffer, int32_t size);

// count elements of an array going in (none when count <= 0).
std::vector<int> intArrayIn(const int32_t* values, int32_t count);
std::vector<bool> flagArrayIn(const int32_t* values, int32_t count);

// Copies at most count elements from the front of a list into a caller's array.
void intArrayOut(const std::vector<int>& list, int32_t* values, int32_t count);
void flagArrayOut(const std::vector<bool>& list, int32_t* values, int32_t count);

// A malloc'ed copy of the list for the caller to free; never null, even for an empty list.
int32_t* mallocArrayOut(const std::vector<int>& list);

}  // namespace orvapi::api
