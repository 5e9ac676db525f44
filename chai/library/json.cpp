// JSON text: to_json writes the established layout (objects indented two spaces per level,
// arrays on one line, floating values in %f form); from_json reads numbers with '.', 'e' or 'E'
// as double and other numbers as int64_t.
#include <cctype>
#include <cmath>
#include <stdexcept>

#include "chai/library/library.hpp"
#include "chai/runtime/objects.hpp"
#include "chai/stack/stack.hpp"

namespace chai {

namespace {

// Nesting deeper than this is refused both ways (self-containing containers, hostile input).
constexpr int kMaxDepth = 200;

// Writing and reading recurse once per level: where a deep recursion has left little stack, they
// stop as evaluation does.
void check_stack_room() {
    if (stack_exhausted()) throw exception::eval_error(kDepthExceeded, std::string(), {});
}

void write_string(const std::string& s, std::string& out) {
    out += '"';
    for (char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    out += '"';
}

void write_object(const Map& m, std::string& out, int depth);

// depth counts the objects being written around the value; the top level is 1.
void write_value(const Value& b, std::string& out, int depth) {
    if (depth > kMaxDepth) throw std::runtime_error("JSON ERROR: nesting too deep");
    check_stack_room();
    switch (b.kind()) {
    case Kind::Undef: out += "null"; break;
    case Kind::Bool: out += b.as_bool() ? "true" : "false"; break;
    case Kind::Number:
        if (b.num().is_floating()) out += std::to_string(b.num().as<double>());
        else out += std::to_string(b.num().as<int64_t>());
        break;
    case Kind::String: write_string(*b.str(), out); break;
    case Kind::Vector: {
        out += '[';
        bool first = true;
        for (const Value& e : *b.vec()) {
            if (!first) out += ", ";
            write_value(e, out, depth + 1);
            first = false;
        }
        out += ']';
        break;
    }
    case Kind::Map: write_object(*b.map(), out, depth); break;
    case Kind::Object: {
        const DynObject& o = **b.obj();
        Map attrs;
        for (const auto& [id, v] : o.attrs) attrs[o.names->name(id)] = v;
        write_object(attrs, out, depth);
        break;
    }
    default: throw std::runtime_error("Unknown object type to convert to JSON");
    }
}

void write_object(const Map& m, std::string& out, int depth) {
    const std::string pad(static_cast<size_t>(2 * depth), ' ');
    out += "{\n";
    bool first = true;
    for (const auto& [k, v] : m) {
        if (!first) out += ",\n";
        // Keys go out as they are, unescaped.
        out += pad + "\"" + k + "\" : ";
        write_value(v, out, depth + 1);
        first = false;
    }
    out += "\n" + pad.substr(2) + "}";
}

class JsonReader {
public:
    explicit JsonReader(const std::string& s) : s_(s) {}
    Value document() {
        Value v = value(0);
        skip();
        // Text after the value is an error rather than silently ignored.
        if (p_ < s_.size()) fail("Parse", std::string("Unexpected text after the value, found '") + s_[p_] + "'");
        return v;
    }

private:
    // Separator errors end in a newline, as the established texts do.
    [[noreturn]] static void fail(const char* where, const std::string& what) {
        throw std::runtime_error(std::string("JSON ERROR: ") + where + ": " + what);
    }
    // The current character as error texts show it ('' at the end of the text).
    std::string shown() const { return p_ < s_.size() ? std::string(1, s_[p_]) : std::string(); }
    char at() const { return p_ < s_.size() ? s_[p_] : '\0'; }
    void skip() {
        while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_]))) ++p_;
    }

    Value value(int depth) {
        if (depth > kMaxDepth) fail("Parse", "nesting too deep");
        check_stack_room();
        skip();
        char c = at();
        switch (c) {
        case '[': return array(depth);
        case '{': return object(depth);
        case '"': return make_str(string());
        case 't':
        case 'f': return boolean();
        case 'n':
            if (s_.compare(p_, 4, "null") != 0) fail("Null", "Expected 'null', found '" + s_.substr(p_, 4) + "'");
            p_ += 4;
            return Value();
        default:
            if ((c >= '0' && c <= '9') || c == '-') return number();
        }
        fail("Parse", "Unexpected starting character '" + shown() + "'");
    }

    Value object(int depth) {
        Map m;
        ++p_;
        skip();
        if (at() == '}') {
            ++p_;
            return make_map(std::move(m));
        }
        for (;;) {
            skip();
            if (at() != '"') fail("Object", "Expected string key, found '" + shown() + "'");
            std::string key = string();
            skip();
            if (at() != ':') fail("Object", "Expected colon, found '" + shown() + "'\n");
            ++p_;
            m[key] = value(depth + 1);
            skip();
            if (at() == ',') {
                ++p_;
                continue;
            }
            if (at() != '}') fail("Object", "Expected comma, found '" + shown() + "'\n");
            ++p_;
            return make_map(std::move(m));
        }
    }

    Value array(int depth) {
        Vector v;
        ++p_;
        skip();
        if (at() == ']') {
            ++p_;
            return make_vec(std::move(v));
        }
        for (;;) {
            v.push_back(value(depth + 1));
            skip();
            if (at() == ',') {
                ++p_;
                continue;
            }
            if (at() != ']') fail("Array", "Expected ',' or ']', found '" + shown() + "'\n");
            ++p_;
            return make_vec(std::move(v));
        }
    }

    // \u escapes are kept as written; an unknown escape leaves a lone backslash.
    std::string string() {
        std::string out;
        for (++p_; at() != '"'; ++p_) {
            if (p_ >= s_.size()) fail("String", "Expected '\"', found end of text");
            char c = s_[p_];
            if (c != '\\') {
                out += c;
                continue;
            }
            ++p_;
            switch (at()) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u':
                out += "\\u";
                for (int i = 0; i < 4; ++i) {
                    ++p_;
                    if (!std::isxdigit(static_cast<unsigned char>(at())))
                        fail("String", "Expected hex character in unicode escape, found '" + shown() + "'");
                    out += s_[p_];
                }
                break;
            default:
                if (p_ >= s_.size()) fail("String", "Expected '\"', found end of text");
                out += '\\';
            }
        }
        ++p_;
        return out;
    }

    Value boolean() {
        if (s_.compare(p_, 4, "true") == 0) {
            p_ += 4;
            return make_bool(true);
        }
        if (s_.compare(p_, 5, "false") == 0) {
            p_ += 5;
            return make_bool(false);
        }
        fail("Bool", "Expected 'true' or 'false', found '" + s_.substr(p_, 5) + "'");
    }

    static bool ends_number(char c) { return c == '\0' || std::isspace(static_cast<unsigned char>(c)) || c == ',' || c == ']' || c == '}'; }

    // The value is sign * digits * 10^exponent, computed in that order.
    Value number() {
        bool negative = at() == '-';
        if (negative) ++p_;
        std::string digits;
        bool floating = false;
        for (char c = at(); (c >= '0' && c <= '9') || (c == '.' && !floating); c = at()) {
            floating |= c == '.';
            digits += c;
            ++p_;
        }
        if (digits.empty() || digits == ".") fail("Number", "Expected digits, found '" + shown() + "'");
        std::string exponent;
        if (at() == 'e' || at() == 'E') {
            ++p_;
            if (at() == '-') exponent += '-';
            if (at() == '-' || at() == '+') ++p_;
            while (at() >= '0' && at() <= '9') exponent += s_[p_++];
            if (!ends_number(at()) || exponent.empty() || exponent == "-")
                fail("Number", "Expected a number for exponent, found '" + shown() + "'");
        } else if (!ends_number(at())) {
            fail("Number", "unexpected character '" + shown() + "'");
        }
        try {
            double sign = negative ? -1.0 : 1.0;
            if (!floating && exponent.empty()) {
                int64_t v = std::stoll(digits);
                return num_value(negative ? -v : v);
            }
            double scale = exponent.empty() ? 1.0 : std::pow(10.0, static_cast<double>(std::stol(exponent)));
            return num_value(sign * std::stod(digits) * scale);
        } catch (const std::logic_error&) {  // out of range for the type
            fail("Number", "value out of range");
        }
    }

    const std::string& s_;
    size_t p_ = 0;
};

}  // namespace

void add_json_lib(LibBuilder& b) {
    b.add("to_json", {K("")}, [](Context&, Args a) {
        std::string out;
        write_value(a[0], out, 1);
        return make_str(std::move(out));
    });
    b.add("from_json", {K("string")}, [](Context&, Args a) { return JsonReader(*a[0].str()).document(); });
}

}  // namespace chai
