#include "chai/runtime/resolve.hpp"

#include <string_view>
#include <utility>
#include <vector>

#include "chai/runtime/literals.hpp"
#include "chai/runtime/names.hpp"
#include "chai/spare.hpp"
#include "chai/stack/stack.hpp"
#include "chai/syntax/operators.hpp"

namespace chai {

namespace {

// A function body, or a program's own code, being resolved. Its scopes and slots are kept in the
// resolver's lists, after those of the contexts it is nested in.
struct Context {
    FnInfo* info;
    bool file_level;          // a program's own code (not inside a function)
    size_t first_scope;       // its outermost scope in the list of open scopes
    size_t first_referenced;  // where its slots start in the list of referenced slots
    bool dynamic = false;     // calls eval or get_objects: its variables may be reached by name
};

// The scopes open in every context, innermost last: where each starts in scope_slots, which holds
// the slots declared in them in order. One set of lists serves the whole program, so a scope or a
// function costs no allocation of its own; the lists of the last program resolved wait for the
// next (those of large programs are not kept).
struct Lists {
    std::vector<Context> contexts;
    std::vector<size_t> scope_starts;
    std::vector<uint32_t> scope_slots;
    std::vector<bool> referenced;  // by context, then slot: used where a reference to it may be taken
};
constexpr size_t kSpareSlots = 1024;

// The names operator nodes call are leading names: their symbols are found by id, without
// hashing the node's text. By code: binary, prefix and plain assignment operators; compound
// assignments by the code of their binary part.
struct OperatorIds {
    uint32_t plain[static_cast<size_t>(OpCode::None)] = {};
    uint32_t compound[kBinaryOpCount] = {};
    constexpr OperatorIds() {
        for (int i = 0; i < kBinaryOpCount; ++i) {
            plain[i] = leading_id(kBinaryOpText[i]);
            compound[i] = leading_id(kBinaryOpText[i], "=");
        }
        const std::pair<OpCode, const char*> others[] = {{OpCode::Assign, "="}, {OpCode::Neg, "-"},
                                                         {OpCode::Plus, "+"},   {OpCode::Not, "!"},
                                                         {OpCode::Compl, "~"},  {OpCode::Incr, "++"},
                                                         {OpCode::Decr, "--"}};
        for (const auto& [op, text] : others) plain[static_cast<size_t>(op)] = leading_id(text);
    }
};
constexpr OperatorIds kOperatorIds;
static_assert(kOperatorIds.plain[static_cast<size_t>(OpCode::Ne)] && kOperatorIds.plain[static_cast<size_t>(OpCode::Decr)] &&
              kOperatorIds.compound[static_cast<size_t>(OpCode::BitXor)]);

Spare<Lists>& spare_lists() {
    static Spare<Lists> spare;
    return spare;
}

// Whether the short ways can compute a node at all: a variable, a number literal, an attribute, or
// arithmetic on those. A binary node over anything else (a call, a string) goes the general way.
bool may_be_number(const Node& k) {
    return k.kind == NK::Id || k.fast == F_Const || k.fast == F_Attr || k.fast == F_Converted || is_arith(k.fast);
}

// A method call without arguments on a variable: the size a loop compares with, usually.
bool may_be_size(const Node& k) { return k.kind == NK::Dot && k.parens && k.kids.size() == 1 && k.first->kind == NK::Id; }

// Which short way a Binary node takes (see Fast).
uint8_t binary_shape(const Node& n) {
    const bool size_l = may_be_size(*n.first), size_r = may_be_size(*n.second);
    if (is_comparison(n.op) && (size_l || size_r) && (size_l || may_be_number(*n.first)) &&
        (size_r || may_be_number(*n.second)))
        return F_CmpSize;
    if (!may_be_number(*n.first) || !may_be_number(*n.second)) return F_None;
    const bool arith = n.op <= OpCode::BitXor;
    const uint8_t l = n.first->fast, r = n.second->fast;
    if (l == F_Local && r == F_Local) return arith ? F_ArithLL : F_CmpLL;
    if (l == F_Local && r == F_Const) return arith ? F_ArithLC : F_CmpLC;
    if (!arith && r == F_Const) return F_CmpXC;
    return arith ? F_Arith : F_Cmp;
}

// A binary node's short way; over locals and literals, its operands' places are copied into the
// node itself, so reading them waits for one load fewer.
void shape_binary(Node& n) {
    n.fast = binary_shape(n);
    if (n.fast == F_CmpLL || n.fast == F_ArithLL || n.fast == F_CmpLC || n.fast == F_ArithLC) n.slot = n.first->slot;
    if (n.fast == F_CmpLL || n.fast == F_ArithLL) n.slot_end = n.second->slot;
    if (n.fast == F_CmpLC || n.fast == F_ArithLC || n.fast == F_CmpXC) n.constant = n.second->constant;
}

// `x op= y`'s short way: the target's place (a local's slot, a top-level variable's record) and a
// literal operand are copied into the node itself, for the same reason.
void shape_compound(Node& n) {
    n.fast = F_Compound;
    n.slot = n.first->slot;
    n.class_symbol = n.first->fast == F_Top ? n.first->symbol : nullptr;
    n.constant = n.second->fast == F_Const ? n.second->constant : nullptr;
}

// A kept conversion of a literal: the called name's record copied into the call node, which its
// checks read.
void shape_converted(Node& n) {
    n.fast = F_Converted;
    n.class_symbol = n.first->symbol;
}

bool reaches_variables(std::string_view name) {
    // Views compare lengths first: every name the resolver binds comes through here.
    using namespace std::string_view_literals;
    return name == "eval"sv || name == "eval_file"sv || name == "use"sv || name == "get_objects"sv;
}

class Resolver {
public:
    Resolver(Program& p, Mode m) : prog_(p), syms_(*p.symbols), mode_(m), lists_(spare_lists().take()) {}
    ~Resolver() {
        lists_.contexts.clear();
        lists_.scope_starts.clear();
        lists_.scope_slots.clear();
        lists_.referenced.clear();
        spare_lists().keep(lists_, [](const Lists& l, const Lists& held) {
            return l.scope_slots.capacity() <= kSpareSlots && l.scope_slots.capacity() > held.scope_slots.capacity();
        });
    }
    Resolver(const Resolver&) = delete;
    Resolver& operator=(const Resolver&) = delete;

    void program(Node* root) {
        FnInfo& info = prog_.frames.emplace_back();
        root->frame = &info;
        lists_.contexts.reserve(4);
        lists_.scope_starts.reserve(8);
        enter_context(info, true);
        // A tree value's node may be run on its own: then it is the root.
        if (root->kind == NK::File) statements(*root);
        else expr(root, false);
        leave_context();
    }

private:
    Context& ctx() { return lists_.contexts.back(); }
    uint16_t depth() { return static_cast<uint16_t>(lists_.scope_starts.size() - 1 - ctx().first_scope); }

    // A context starts with one scope, and leaving it closes the scopes it left open.
    void enter_context(FnInfo& info, bool file_level) {
        lists_.contexts.push_back({&info, file_level, lists_.scope_starts.size(), lists_.referenced.size()});
        open_scope();
    }
    void leave_context() {
        const Context& c = ctx();
        lists_.scope_slots.resize(lists_.scope_starts[c.first_scope]);
        lists_.scope_starts.resize(c.first_scope);
        lists_.referenced.resize(c.first_referenced);
        lists_.contexts.pop_back();
    }
    std::vector<bool>::reference referenced(uint32_t slot) { return lists_.referenced[ctx().first_referenced + slot]; }

    uint32_t add_slot(const std::string& name) {
        if (lists_.scope_slots.capacity() == 0) {
            lists_.scope_slots.reserve(16);
            lists_.referenced.reserve(64);
        }
        uint32_t slot = ctx().info->add_slot(name, depth());
        lists_.referenced.push_back(false);
        lists_.scope_slots.push_back(slot);
        return slot;
    }
    // A declaration: the same name again in one scope is the same slot (redefining it is an
    // error when it runs).
    uint32_t declare_local(const std::string& name) {
        for (size_t i = lists_.scope_starts.back(); i < lists_.scope_slots.size(); ++i)
            if (ctx().info->slot_decls[lists_.scope_slots[i]].name == name) return lists_.scope_slots[i];
        return add_slot(name);
    }
    void open_scope() { lists_.scope_starts.push_back(lists_.scope_slots.size()); }
    // Closes a scope; n clears the slots [slot, slot_end) when the scope is left.
    void close_scope(Node* n, uint32_t first) {
        lists_.scope_slots.resize(lists_.scope_starts.back());
        lists_.scope_starts.pop_back();
        n->slot = first;
        n->slot_end = ctx().info->nslots;
    }
    uint32_t next_slot() { return ctx().info->nslots; }

    SiteCache* site() { return &prog_.sites.emplace_back(); }
    Symbol* sym(std::string_view name) { return &syms_.of(name); }
    // The operator an Assign, Binary or Prefix node calls.
    Symbol* operator_sym(const Node& n) {
        const size_t code = static_cast<size_t>(n.op);
        uint32_t id = 0;
        if (n.kind == NK::Assign && n.op != OpCode::Assign) id = code < kBinaryOpCount ? kOperatorIds.compound[code] : 0;
        else if (code < static_cast<size_t>(OpCode::None)) id = kOperatorIds.plain[code];
        return id ? &syms_.at(id) : sym(n.text);
    }

    // A name used as a value. operand: only read (a reference to it is never taken there).
    void bind(Node& n, const std::string& name, bool operand) {
        // The context's scopes lie in order in one list: from its end, inner names come first.
        const auto& decls = ctx().info->slot_decls;
        for (size_t i = lists_.scope_slots.size(), first = lists_.scope_starts[ctx().first_scope]; i-- > first;)
            if (decls[lists_.scope_slots[i]].name == name) {
                n.ref = Ref::Local;
                n.slot = lists_.scope_slots[i];
                if (!operand) referenced(n.slot) = true;
                return;
            }
        if (reaches_variables(name)) ctx().dynamic = true;
        n.ref = !ctx().file_level ? Ref::Global : mode_ == Mode::Static ? Ref::Top : Ref::Dynamic;
        // Eval'd code finds names by name at run time: names it only declares or reads in its
        // caller's scope are not kept by the engine (an eval loop making new names stays flat).
        n.symbol = n.ref == Ref::Dynamic ? syms_.find(name) : sym(name);
    }

    void declare(Node& n) {
        if (ctx().file_level && depth() == 0) {
            n.ref = mode_ == Mode::Static ? Ref::Top : Ref::Dynamic;
            n.symbol = n.ref == Ref::Dynamic ? syms_.find(n.name) : sym(n.name);
            return;
        }
        n.ref = Ref::Local;
        n.slot = declare_local(n.name);
    }

    void statements(Node& n) {
        for (auto& k : n.kids) expr(k.get(), false);
    }

    void block(Node* n) {
        open_scope();
        n->depth = depth();
        const uint32_t first = next_slot();
        statements(*n);
        close_scope(n, first);
    }

    void function(Node* n) {
        // Captures are found where the lambda is made.
        std::vector<CaptureSource> sources;
        for (const std::string& c : n->captures()) {
            Node probe;
            bind(probe, c, false);
            sources.push_back({probe.ref, probe.slot, probe.symbol, c});
        }
        FnInfo& info = prog_.frames.emplace_back();
        n->frame = &info;
        info.capture_from = std::move(sources);
        enter_context(info, false);
        // Later names hide earlier ones: parameters hide captures, which hide `this`.
        info.this_slot = static_cast<int32_t>(add_slot("this"));
        for (const std::string& c : n->captures()) info.capture_slots.push_back(add_slot(c));
        for (size_t i = 0; i < n->params().size(); ++i) {
            for (size_t j = 0; j < i; ++j)
                if (n->params()[j].name == n->params()[i].name && info.duplicate_param.empty())
                    info.duplicate_param = n->params()[i].name;
            info.param_slots.push_back(add_slot(n->params()[i].name));
        }
        if (n->kind == NK::Def && n->guarded) expr(n->kid(1), true);
        block(n->kid(0));
        const bool dynamic = ctx().dynamic;
        for (size_t i = 0; i < info.param_slots.size() && i < 64; ++i)
            if (!dynamic && !referenced(info.param_slots[i])) info.params_by_value |= uint64_t{1} << i;
        info.this_by_value = !dynamic && !referenced(static_cast<uint32_t>(info.this_slot));
        leave_context();
    }

    void expr(Node* n, bool operand) {
        if (stack_below(stack_limit_)) depth_exceeded_at(*n);
        n->depth = depth();
        resolve_node(n, operand);
        // The numeric short ways: leaves and arithmetic on them.
        if (n->kind == NK::Id && n->ref == Ref::Local) n->fast = F_Local;
        else if (n->kind == NK::Id && n->ref == Ref::Top) n->fast = F_Top;
        else if (n->kind == NK::Const && n->constant->imm_num()) n->fast = F_Const;
        else if (n->kind == NK::Binary && is_binary(n->op)) shape_binary(*n);
        else if (n->kind == NK::Prefix && (n->op == OpCode::Incr || n->op == OpCode::Decr) && is_variable(n->first->fast))
            n->fast = n->first->fast == F_Local ? F_Step : F_StepTop;
        else if (n->kind == NK::Dot && !n->parens && n->first->kind == NK::Id) n->fast = F_Attr;
        else if (n->kind == NK::Call && n->kids.size() == 2 && n->kid(1)->fast == F_Const && n->first->kind == NK::Id &&
                 (n->first->ref == Ref::Top || n->first->ref == Ref::Global))
            shape_converted(*n);
        else if (n->kind == NK::Assign && n->op <= OpCode::Div && is_variable(n->first->fast) &&
                 (n->second->fast == F_Const || n->second->fast == F_Converted || is_variable(n->second->fast)))
            shape_compound(*n);
        else if (n->kind == NK::If && n->kids.size() == 2 && n->second->kind == NK::Block &&
                 n->second->slot == n->second->slot_end && n->second->kids.size() == 1 &&
                 n->second->first->kind == NK::Return)
            n->fast = F_IfReturn;
    }

    void resolve_node(Node* n, bool operand) {
        switch (n->kind) {
        case NK::File: statements(*n); break;  // a string's ${} snippet: in the current scope
        case NK::Block: block(n); break;
        case NK::Const: n->constant = &prog_.constants.emplace_back(literal_value(*n)); break;
        case NK::InterpStr:
            for (auto& k : n->kids) {
                if (k->kind == NK::Const) expr(k.get(), true);
                else
                    for (auto& s : k->kids) expr(s.get(), true);
            }
            break;
        case NK::Id: bind(*n, n->name, operand); break;
        case NK::VarDecl:
        case NK::RefDecl: declare(*n); break;
        case NK::GlobalDecl: n->symbol = sym(n->name); break;
        case NK::AttrDecl:
            n->symbol = sym(n->name);
            n->class_symbol = sym(n->class_name());
            break;
        case NK::Assign: {
            Node* lhs = n->kid(0);
            const bool binds = n->op == OpCode::Bind || lhs->kind == NK::RefDecl;
            expr(n->kid(1), !binds);  // the right side is evaluated first
            if (lhs->kind == NK::VarDecl || lhs->kind == NK::RefDecl) declare(*lhs);
            else expr(lhs, false);
            if (n->op != OpCode::Bind) {
                n->symbol = operator_sym(*n);
                n->site = site();
            }
            break;
        }
        case NK::Binary:
        case NK::Index:
            expr(n->kid(0), true);
            expr(n->kid(1), true);
            n->symbol = n->kind == NK::Index ? &syms_.at(kIdIndex) : operator_sym(*n);
            n->site = site();
            break;
        case NK::And:
        case NK::Or:
        case NK::VectorLit:
        case NK::MapPair:
            for (auto& k : n->kids) expr(k.get(), true);
            break;
        case NK::MapLit: statements(*n); break;
        case NK::RangeLit:
            expr(n->kid(0), true);
            expr(n->kid(1), true);
            n->symbol = &syms_.at(kIdRange);
            n->site = site();
            break;
        case NK::Ternary:
            expr(n->kid(0), true);
            expr(n->kid(1), false);
            expr(n->kid(2), false);
            break;
        case NK::Prefix:
            expr(n->kid(0), n->op != OpCode::Incr && n->op != OpCode::Decr);
            n->symbol = operator_sym(*n);
            n->site = site();
            break;
        case NK::Call:
            expr(n->kid(0), true);
            for (size_t i = 1; i < n->kids.size(); ++i) expr(n->kid(i), false);
            n->site = site();
            break;
        case NK::Dot:
            for (auto& k : n->kids) expr(k.get(), false);
            n->symbol = sym(n->name);
            n->site = site();
            break;
        case NK::Lambda: function(n); break;
        case NK::Def:
            n->symbol = sym(n->name);
            if (!n->class_name().empty()) n->class_symbol = sym(n->class_name());
            function(n);
            break;
        case NK::Class:
            n->symbol = sym(n->name);
            for (auto& k : n->kids) expr(k.get(), false);
            break;
        case NK::If:
            for (size_t i = 0; i < n->kids.size(); ++i) expr(n->kid(i), i % 2 == 0 && i + 1 < n->kids.size());
            break;
        case NK::While:
            expr(n->kid(0), true);
            expr(n->kid(1), false);
            break;
        case NK::For: {
            open_scope();
            n->depth = depth();
            const uint32_t first = next_slot();
            expr(n->kid(0), false);
            if (n->kid(1)) expr(n->kid(1), true);
            expr(n->kid(2), false);
            expr(n->kid(3), false);
            close_scope(n, first);
            break;
        }
        case NK::Switch: {
            open_scope();
            n->depth = depth();
            const uint32_t first = next_slot();
            expr(n->kid(0), true);
            for (size_t i = 1; i < n->kids.size(); ++i) {
                Node* c = n->kid(i);
                if (c->kind == NK::Case) expr(c->kid(0), true);
                expr(c->kids.back().get(), false);
            }
            close_scope(n, first);
            break;
        }
        case NK::Try:
            for (auto& k : n->kids) expr(k.get(), false);
            break;
        case NK::Catch: {
            open_scope();
            n->depth = depth();
            const uint32_t first = next_slot();
            if (!n->params().empty()) declare_local(n->params()[0].name);
            if (n->guarded) expr(n->kid(1), true);
            expr(n->kid(0), false);
            close_scope(n, first);
            break;
        }
        case NK::Finally: expr(n->kid(0), false); break;
        case NK::Case:
        case NK::Default:
        case NK::Return:
            for (auto& k : n->kids) expr(k.get(), false);
            break;
        default: break;
        }
    }

    Program& prog_;
    Symbols& syms_;
    Mode mode_;
    const uintptr_t stack_limit_ = engine_stack_limit();  // read once: expr() checks it per node
    Lists lists_;
};

}  // namespace

void resolve_program(Program& p, Mode mode) {
    Resolver r(p, mode);
    r.program(p.root.get());
    p.mode = mode;
}

}  // namespace chai
