// String functions.
#include "chai/library/library.hpp"

namespace chai {

namespace {
std::string& str(const BoxRef& b) { return std::get<std::string>(b->v); }
std::string& changed(const BoxRef& b) { return changeable<std::string>(b); }
size_t pos_arg(const BoxRef& b) { return b->num().as<size_t>(); }
BoxRef size_box(size_t n) { return num_box(static_cast<uint64_t>(n)); }

using Finder = size_t (*)(const std::string&, const std::string&, size_t);

void add_search(LibBuilder& b, const char* name, Finder f, bool from_end) {
    b.add(name, {K("string"), K("string")}, [f, from_end](Interp&, Args a) {
        return size_box(f(str(a[0]), str(a[1]), from_end ? std::string::npos : 0));
    });
    b.add(name, {K("string"), K("string"), K("Number")},
          [f](Interp&, Args a) { return size_box(f(str(a[0]), str(a[1]), pos_arg(a[2]))); });
}

const char* const kBlank = " \t\r\n";
}  // namespace

void add_string_lib(LibBuilder& b) {
    b.add("size", {K("string")}, [](Interp&, Args a) { return size_box(str(a[0]).size()); });
    b.add("empty", {K("string")}, [](Interp&, Args a) { return make_bool(str(a[0]).empty()); });
    b.add("clear", {K("string")}, [](Interp&, Args a) {
        changed(a[0]).clear();
        return undef();
    });
    add_search(b, "find", [](const std::string& s, const std::string& t, size_t p) { return s.find(t, p); }, false);
    add_search(b, "rfind", [](const std::string& s, const std::string& t, size_t p) { return s.rfind(t, p); }, true);
    add_search(b, "find_first_of",
               [](const std::string& s, const std::string& t, size_t p) { return s.find_first_of(t, p); }, false);
    add_search(b, "find_last_of",
               [](const std::string& s, const std::string& t, size_t p) { return s.find_last_of(t, p); }, true);
    add_search(b, "find_first_not_of",
               [](const std::string& s, const std::string& t, size_t p) { return s.find_first_not_of(t, p); }, false);
    add_search(b, "find_last_not_of",
               [](const std::string& s, const std::string& t, size_t p) { return s.find_last_not_of(t, p); }, true);
    b.add("substr", {K("string"), K("Number"), K("Number")},
          [](Interp&, Args a) { return make_str(str(a[0]).substr(pos_arg(a[1]), pos_arg(a[2]))); });
    b.add("c_str", {K("string")}, [](Interp&, Args a) { return make_str(str(a[0])); });
    b.add("data", {K("string")}, [](Interp&, Args a) { return make_str(str(a[0])); });
    b.add("push_back", {K("string"), K("char")}, [](Interp&, Args a) {
        changed(a[0]).push_back(static_cast<char>(a[1]->num().i));
        return undef();
    });
    b.add("insert_at", {K("string"), K("Number"), K("char")}, [](Interp&, Args a) {
        std::string& s = changed(a[0]);
        size_t p = pos_arg(a[1]);
        if (p > s.size()) throw std::range_error("Cannot insert past end of range");
        s.insert(s.begin() + static_cast<std::ptrdiff_t>(p), static_cast<char>(a[2]->num().i));
        return undef();
    });
    b.add("erase_at", {K("string"), K("Number")}, [](Interp&, Args a) {
        std::string& s = changed(a[0]);
        size_t p = pos_arg(a[1]);
        if (p >= s.size()) throw std::range_error("Cannot erase past end of range");
        s.erase(p, 1);
        return undef();
    });
    b.add("trim", {K("string")}, [](Interp&, Args a) {
        const std::string& s = str(a[0]);
        size_t f = s.find_first_not_of(kBlank);
        if (f == std::string::npos) return make_str("");
        return make_str(s.substr(f, s.find_last_not_of(kBlank) - f + 1));
    });
    b.add("ltrim", {K("string")}, [](Interp&, Args a) {
        const std::string& s = str(a[0]);
        size_t f = s.find_first_not_of(kBlank);
        return make_str(f == std::string::npos ? std::string() : s.substr(f));
    });
    b.add("rtrim", {K("string")}, [](Interp&, Args a) {
        const std::string& s = str(a[0]);
        size_t l = s.find_last_not_of(kBlank);
        return make_str(l == std::string::npos ? std::string() : s.substr(0, l + 1));
    });
}

}  // namespace chai
