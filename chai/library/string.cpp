// String functions.
#include "chai/library/library.hpp"

namespace chai {

namespace {
std::string& str(const Value& v) { return *v.str(); }
size_t pos_arg(const Value& v) { return v.num().as<size_t>(); }
Value size_box(size_t n) { return num_value(static_cast<uint64_t>(n)); }
// A read-only string whose type is named char: what c_str() and data() give.
Value c_string(const std::string& s) {
    Value v = make_box<P_String>(s, kConst | kTemp | kCString);
    return v;
}

using Finder = size_t (*)(const std::string&, const std::string&, size_t);

void add_search(LibBuilder& b, const char* name, Finder f, bool from_end) {
    b.add(name, {K("string"), K("string")}, [f, from_end](Context&, Args a) {
        return size_box(f(str(a[0]), str(a[1]), from_end ? std::string::npos : 0));
    });
    b.add(name, {K("string"), K("string"), K("Number")},
          [f](Context&, Args a) { return size_box(f(str(a[0]), str(a[1]), pos_arg(a[2]))); });
}

const char* const kBlank = " \t\r\n";
}  // namespace

void add_string_lib(LibBuilder& b) {
    b.add_intrinsic("size", {K("string")}, Intrinsic::StringSize);
    b.add("empty", {K("string")}, [](Context&, Args a) { return make_bool(str(a[0]).empty()); });
    b.add("clear", {K("string")}, [](Context&, Args a) {
        std::string* s = changeable_str(a[0]);
        if (!s) return declined();
        s->clear();
        return Value();
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
          [](Context&, Args a) { return make_str(str(a[0]).substr(pos_arg(a[1]), pos_arg(a[2]))); });
    b.add("c_str", {K("string")}, [](Context&, Args a) { return c_string(str(a[0])); });
    b.add("data", {K("string")}, [](Context&, Args a) { return c_string(str(a[0])); });
    b.add("push_back", {K("string"), K("char")}, [](Context&, Args a) {
        std::string* s = changeable_str(a[0]);
        if (!s) return declined();
        s->push_back(a[1].num().as<char>());
        return Value();
    });
    b.add("insert_at", {K("string"), K("Number"), K("char")}, [](Context&, Args a) {
        std::string* s = changeable_str(a[0]);
        if (!s) return declined();
        const size_t p = pos_arg(a[1]);
        if (p > s->size()) throw std::range_error("Cannot insert past end of range");
        s->insert(s->begin() + static_cast<std::ptrdiff_t>(p), a[2].num().as<char>());
        return Value();
    });
    b.add("erase_at", {K("string"), K("Number")}, [](Context&, Args a) {
        std::string* s = changeable_str(a[0]);
        if (!s) return declined();
        const size_t p = pos_arg(a[1]);
        if (p >= s->size()) throw std::range_error("Cannot erase past end of range");
        s->erase(p, 1);
        return Value();
    });
    b.add("trim", {K("string")}, [](Context&, Args a) {
        const std::string& s = str(a[0]);
        size_t f = s.find_first_not_of(kBlank);
        if (f == std::string::npos) return make_str("");
        return make_str(s.substr(f, s.find_last_not_of(kBlank) - f + 1));
    });
    b.add("ltrim", {K("string")}, [](Context&, Args a) {
        const std::string& s = str(a[0]);
        size_t f = s.find_first_not_of(kBlank);
        return make_str(f == std::string::npos ? std::string() : s.substr(f));
    });
    b.add("rtrim", {K("string")}, [](Context&, Args a) {
        const std::string& s = str(a[0]);
        size_t l = s.find_last_not_of(kBlank);
        return make_str(l == std::string::npos ? std::string() : s.substr(0, l + 1));
    });
}

}  // namespace chai
