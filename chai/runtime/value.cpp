#include <deque>
#include <stdexcept>
#include <mutex>
#include <typeindex>
#include <unordered_map>

#include "chai/syntax/tree.hpp"
#include "chai/runtime/char_ref.hpp"
#include "chai/runtime/collect.hpp"
#include "chai/runtime/interp.hpp"
#include "chai/runtime/value.hpp"
#include "chai/runtime/var_attrs.hpp"

namespace chai {

// ---- box allocation: a per-thread free list, boxes are created and dropped constantly ----
namespace {
struct FreeList {
    std::vector<void*> items;
    ~FreeList() {
        for (void* p : items) ::operator delete(p);
    }
};
thread_local FreeList t_free;
}  // namespace

void* Box::operator new(size_t n) {
    if (n == sizeof(Box) && !t_free.items.empty()) {
        void* p = t_free.items.back();
        t_free.items.pop_back();
        return p;
    }
    return ::operator new(n);
}

void Box::operator delete(void* p) noexcept {
    if (t_free.items.size() < 4096) {
        try {
            t_free.items.push_back(p);
            return;
        } catch (...) {
        }
    }
    ::operator delete(p);
}

void destroy_box(Box* b) noexcept {
    if (b->tracker) b->tracker->remove(b);
    if (b->v.index() <= V_Number && !b->has_attrs && !b->char_ref) {  // nothing nested to release
        delete b;
        return;
    }
    thread_local bool active = false;
    thread_local std::vector<Box*> pending;
    if (active) {
        try {
            pending.push_back(b);
            return;
        } catch (...) {
        }
    }
    bool outer = !active;
    active = true;
    // Attribute boxes released here are queued like nested elements.
    if (b->has_attrs) drop_var_attrs(b);
    if (b->char_ref) drop_char_ref(b);
    delete b;
    if (!outer) return;
    while (!pending.empty()) {
        Box* next = pending.back();
        pending.pop_back();
        if (next->has_attrs) drop_var_attrs(next);
        if (next->char_ref) drop_char_ref(next);
        delete next;
    }
    active = false;
}

void throw_vector_index(size_t n, size_t size) {
    throw std::out_of_range("vector::_M_range_check: __n (which is " + std::to_string(n) +
                            ") >= this->size() (which is " + std::to_string(size) + ")");
}

void throw_string_index(size_t n, size_t size) {
    throw std::out_of_range("basic_string::at: __n (which is " + std::to_string(n) +
                            ") >= this->size() (which is " + std::to_string(size) + ")");
}

void check_string_size(size_t n) {
    if (n > kMaxStringSize) throw std::length_error("String too long");
}

namespace {
thread_local BoxTracker* t_tracker = nullptr;
}  // namespace

BoxTracker* swap_box_tracker(BoxTracker* t) { return std::exchange(t_tracker, t); }

void track_box(Box& b) {
    if (!b.tracker && t_tracker && (b.has_attrs || holds_boxes(b.v.index()))) t_tracker->add(&b);
}

BoxRef make_box(Value v, bool temp) {
    BoxRef b(new Box(std::move(v)));
    b->is_temp = temp;
    // Undefined boxes are tracked once assigned such a value (see Interp::assign).
    if (t_tracker && holds_boxes(b->v.index())) t_tracker->add(b.get());
    return b;
}

bool clone_value(const Value& from, Value& to) {
    switch (from.index()) {
    case V_Object: {
        // Objects nested (or looped) through attributes are shared below a fixed depth.
        thread_local int depth = 0;
        const ObjRef& o = std::get<ObjRef>(from);
        if (depth > 64) {
            to = from;
            return true;
        }
        struct Depth {
            Depth() { ++depth; }
            ~Depth() { --depth; }
        } guard;
        auto c = std::make_shared<DynObject>();
        c->cls = o->cls;
        c->is_explicit = o->is_explicit;
        for (const auto& [k, v] : o->attrs) c->attrs[k] = clone_box(v);
        to = Value(std::move(c));
        return true;
    }
    case V_Host: {
        const HostObj& h = std::get<HostObj>(from);
        const HostType* t = find_host_type(*h.type);
        if (!t || !t->copy) return false;
        to = Value(HostObj{h.type, t->copy(h.ptr.get())});
        return true;
    }
    default: to = from; return true;
    }
}

BoxRef clone_box(const BoxRef& b) {
    if (b->is_num()) return BoxRef(new Box(std::in_place_index<V_Number>, b->num()));  // the common case
    Value v;
    if (!clone_value(b->v, v)) v = b->v;  // uncopyable host objects are shared
    return make_box(std::move(v), false);
}

// ---- host type names, shared by the process ----
namespace {
struct HostTypes {
    std::mutex mu;
    std::unordered_map<std::type_index, std::unique_ptr<HostType>> types;
};
HostTypes& host_types() {
    static HostTypes t;
    return t;
}
}  // namespace

const HostType* find_host_type(const std::type_info& t) {
    auto& h = host_types();
    std::lock_guard<std::mutex> lock(h.mu);
    auto it = h.types.find(std::type_index(t));
    return it == h.types.end() ? nullptr : it->second.get();
}

const HostType* register_host_type(const std::type_info& t, const std::string& name,
                                   std::shared_ptr<void> (*copy)(const void*)) {
    auto& h = host_types();
    std::lock_guard<std::mutex> lock(h.mu);
    auto& slot = h.types[std::type_index(t)];
    if (!slot) slot = std::make_unique<HostType>();
    // Engines on other threads read entries without the lock: write only what changes (every
    // new engine of a host registers the same types again).
    if (slot->type != &t) slot->type = &t;
    if (!name.empty() && slot->name != name) slot->name = name;
    if (copy && slot->copy != copy) slot->copy = copy;
    return slot.get();
}

std::string type_name_of(const Box& b) {
    switch (b.idx()) {
    case V_Undef: return "";
    case V_Bool: return "bool";
    case V_Number: return kind_name(b.num().kind);
    case V_String: return "string";
    case V_Vector: return "Vector";
    case V_Map: return "Map";
    case V_Pair: return std::get<PairV>(b.v).map_pair ? "Map_Pair" : "Pair";
    case V_Func: return "Function";
    case V_Object: return "Dynamic_Object";
    case V_Host: {
        const HostType* t = find_host_type(*std::get<HostObj>(b.v).type);
        if (t && !t->name.empty()) return t->name;
        return std::get<HostObj>(b.v).type->name();
    }
    case V_Error: return std::get<ErrorV>(b.v).type_name();
    case V_Range: return "Range";
    case V_TypeInfo: return "Type_Info";
    }
    return "";
}

std::string type_desc(const Box& b) { return (b.is_const ? "const " : "") + type_name_of(b); }

// ---- interned names ----
namespace {
struct Names {
    std::mutex mu;
    std::unordered_map<std::string, uint32_t> ids;
    std::deque<std::string> names;
};
Names& names() {
    static Names n;
    return n;
}
}  // namespace

uint32_t intern(const std::string& s) {
    auto& n = names();
    std::lock_guard<std::mutex> lock(n.mu);
    auto it = n.ids.find(s);
    if (it != n.ids.end()) return it->second;
    n.names.push_back(s);
    uint32_t id = static_cast<uint32_t>(n.names.size());
    n.ids.emplace(s, id);
    return id;
}

const std::string& name_of(uint32_t id) {
    auto& n = names();
    std::lock_guard<std::mutex> lock(n.mu);
    static const std::string none;
    return id == 0 || id > n.names.size() ? none : n.names[id - 1];
}

void adopt_kids(Node& n, bool deep) {
    for (auto& k : n.kids)
        if (k) {
            k->parent = &n;
            if (deep) adopt_kids(*k, true);
        }
}

std::string node_label(const Node& n) {
    if (!n.text.empty() && n.kind != NK::Def && n.kind != NK::Lambda) return n.text;
    if (n.name) return name_of(n.name);
    return {};
}

const char* node_kind_name(NK k) {
    static const char* const names[] = {
        "File", "Block", "Constant", "Interpolated_String", "Id", "Var_Decl", "Reference", "Global_Decl",
        "Attr_Decl", "Equation", "Binary", "Logical_And", "Logical_Or", "Ternary_Cond", "Prefix", "Fun_Call",
        "Dot_Access", "Array_Call", "Inline_Array", "Inline_Map", "Map_Pair", "Inline_Range", "Lambda", "Def",
        "Class", "If", "While", "For", "Switch", "Case", "Default", "Try", "Catch", "Finally", "Return",
        "Break", "Continue", "Noop"};
    auto i = static_cast<size_t>(k);
    return i < sizeof names / sizeof *names ? names[i] : "Noop";
}

std::string node_text(const Node& n) {
    switch (n.kind) {
    case NK::Const:
        if (n.value && n.value->idx() == V_String) return "\"" + n.text + "\"";
        if (n.value && n.value->is_num() && n.value->num().kind == NumKind::Char) return "'" + n.text + "'";
        return n.text;
    case NK::Id: return n.text;
    case NK::VarDecl: return "var " + name_of(n.name);
    case NK::Binary: return "(" + node_text(*n.kid(0)) + " " + n.text + " " + node_text(*n.kid(1)) + ")";
    case NK::And: case NK::Or: return "(" + node_text(*n.kid(0)) + n.text + node_text(*n.kid(1)) + ")";
    case NK::Call: {
        std::string s = node_text(*n.kid(0)) + "(";
        for (size_t i = 1; i < n.kids.size(); ++i) s += (i > 1 ? ", " : "") + node_text(*n.kid(i));
        return s + ")";
    }
    case NK::Dot: {
        std::string s = node_text(*n.kid(0)) + "." + n.text;
        if (!n.flag) return s;
        s += "(";
        for (size_t i = 1; i < n.kids.size(); ++i) s += (i > 1 ? ", " : "") + node_text(*n.kid(i));
        return s + ")";
    }
    case NK::Index: return node_text(*n.kid(0)) + "[" + node_text(*n.kid(1)) + "]";
    case NK::VectorLit: {
        std::string s = "[";
        for (size_t i = 0; i < n.kids.size(); ++i) s += (i ? ", " : "") + node_text(*n.kid(i));
        return s + "]";
    }
    case NK::Assign: return node_text(*n.kid(0)) + n.text + node_text(*n.kid(1));
    case NK::Prefix: return n.text + node_text(*n.kid(0));
    case NK::Def: return name_of(n.name);
    case NK::GlobalDecl: case NK::RefDecl: return name_of(n.name);
    case NK::InterpStr: {
        // Shown as what it means: text pieces and to_string(snippet) joined by +, always
        // starting and ending with a (possibly empty) text piece.
        std::string s;
        bool text_next = true;
        const auto add = [&s](const std::string& part) { s = s.empty() ? part : "(" + s + " + " + part + ")"; };
        for (const auto& k : n.kids) {
            if (k->kind == NK::Const) {
                add(node_text(*k));
                text_next = false;
                continue;
            }
            if (text_next) add("\"\"");
            std::string code;
            for (const auto& statement : k->kids) code += node_text(*statement);
            add("to_string(" + code + ")");
            text_next = true;
        }
        if (text_next) add("\"\"");
        return s;
    }
    // Attributes and classes spell their class name first, as written in `attr C::x`.
    case NK::AttrDecl: return name_of(n.name2) + name_of(n.name);
    case NK::Class: {
        std::string s = name_of(n.name);
        for (const auto& k : n.kids) s += node_text(*k);
        return s;
    }
    case NK::Lambda: {
        // Parts in source order: captures, parameters (type, then name), the body.
        std::string s;
        for (uint32_t c : n.captures) s += name_of(c);
        for (const ParamDecl& p : n.params) s += p.type + name_of(p.name);
        for (const auto& k : n.kids) s += node_text(*k);
        return s;
    }
    case NK::Catch: {
        // Parts in source order: the parameter (type, then name), the guard, the body.
        std::string s;
        for (const ParamDecl& p : n.params) s += p.type + name_of(p.name);
        for (size_t i = 1; i < n.kids.size(); ++i) s += node_text(*n.kid(i));
        return s + node_text(*n.kid(0));
    }
    default: {
        // A block's text is its statements run together, as for any other compound node.
        std::string s;
        if (n.kind != NK::File)
            for (const auto& k : n.kids)
                if (k) s += node_text(*k);
        return s;
    }
    }
}

}  // namespace chai
