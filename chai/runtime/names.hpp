// Names and the engine's record of what each name stands for. The standard library's names are
// shared by every engine (made once, then only read); the names a script brings belong to its
// engine and go with it, so nothing a script named outlives the engine.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chai/runtime/callable.hpp"
#include "chai/runtime/stable_list.hpp"

namespace chai {

class Names {
public:
    // base: the shared names this table extends (null for the shared table itself); keep: what
    // keeps base alive, for tables that may outlive their engine (script objects hold them).
    explicit Names(const Names* base = nullptr, std::shared_ptr<const void> keep = nullptr);
    Names(const Names&) = delete;
    Names& operator=(const Names&) = delete;
    // Makes a table that holds no name yet extend `base` instead (keep: as when made).
    void rebase(const Names* base, std::shared_ptr<const void> keep);

    uint32_t intern(std::string_view s);
    // 0 when the name is unknown.
    uint32_t find(std::string_view s) const { return find_hashed(s, hash(s)); }
    const std::string& name(uint32_t id) const;
    // One past the highest id.
    uint32_t end() const { return first_ + count_; }
    const Names* base() const { return base_; }

private:
    // A name is hashed once for the whole chain of tables, each probed by open addressing.
    struct Entry {
        uint32_t hash;
        uint32_t id;  // 0: free
    };
    static uint32_t hash(std::string_view s) {
        uint32_t h = 2166136261u;
        for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
        return h ^ (h >> 15);
    }
    uint32_t find_hashed(std::string_view s, uint32_t h) const;
    uint32_t find_here(std::string_view s, uint32_t h) const;
    const std::string& own(uint32_t i) const { return names_[i]; }
    void grow();

    // An engine's own table is made per call of a host's script: its first names and entries
    // are kept in itself.
    static constexpr size_t kFirstTable = 16;
    const Names* base_;
    std::shared_ptr<const void> keep_;
    uint32_t first_;
    uint32_t count_ = 0;
    Entry* table_ = nullptr;  // a power of two long, at most half full
    size_t table_size_ = 0;
    Entry first_table_[kFirstTable] = {};
    std::vector<Entry> grown_table_;      // holds table_ once it outgrew first_table_
    StableList<std::string, 8> names_;  // names stay where they are: symbols point at them
};

// Names the evaluator and the parser's operators use. They come first in the library's table, in
// this order, so every engine shares them and knows their ids without looking them up.
inline constexpr const char* kLeadingNames[] = {
    "this", "to_string", "=", "[]", "==", "method_missing", "generate_range", "_", "eval", "+=", "-=", "*=",
    "/=", "%=", "<<=", ">>=", "&=", "|=", "^=", "++", "--", "~", "!", "+", "-", "*", "/", "%", "<<", ">>",
    "&", "|", "^", "<", "<=", ">", ">=", "!="};
enum LeadingId : uint32_t { kIdToString = 2, kIdAssign, kIdIndex, kIdEq, kIdMethodMissing, kIdRange, kIdPlaceholder };
static_assert(std::string_view(kLeadingNames[kIdToString - 1]) == "to_string" &&
              std::string_view(kLeadingNames[kIdMethodMissing - 1]) == "method_missing" &&
              std::string_view(kLeadingNames[kIdRange - 1]) == "generate_range" &&
              std::string_view(kLeadingNames[kIdPlaceholder - 1]) == "_");

// The id of the leading name spelled `text` then `suffix`; 0 when none is.
constexpr uint32_t leading_id(std::string_view text, std::string_view suffix = {}) {
    for (size_t i = 0; i < sizeof kLeadingNames / sizeof kLeadingNames[0]; ++i) {
        const std::string_view name = kLeadingNames[i];
        if (name.size() == text.size() + suffix.size() && name.substr(0, text.size()) == text &&
            name.substr(text.size()) == suffix)
            return static_cast<uint32_t>(i + 1);
    }
    return 0;
}

// Attributes a script class declared (var x / attr x in its body, attr C::x).
struct ClassInfo {
    std::vector<uint32_t> attrs;
    bool declares(uint32_t attr) const {
        for (uint32_t a : attrs)
            if (a == attr) return true;
        return false;
    }
};

// Everything one name stands for in one engine. Resolved code holds a pointer to it, so names
// defined later (by eval or a later def) are seen without searching.
struct Symbol {
    uint32_t id = 0;
    const std::string* name = nullptr;
    // Overloads of the name, replaced (never changed) when one is added: calls running further
    // up may still be reading the old list.
    FnListRef fns;
    uint64_t version = 0;            // changes with fns: call sites compare it
    bool only_attr_getters = true;   // no function but class attributes' getters
    bool member_getters = false;     // some function reads a host data member
    Value global = Value::unset();   // a global variable
    Value top = Value::unset();      // a top-level variable (invisible inside functions)
    std::unique_ptr<ClassInfo> cls;  // a script class of this name
    mutable std::unique_ptr<ChoiceMemo> choices;  // what dispatch chose for calls of the name
};

// A symbol's overloads held for as long as a call reads them: defining another overload meanwhile
// gives the symbol a new list and leaves this one intact. The standard library's own lists live
// as long as the library and are read without counting (engines on other threads share them).
class FnsInUse {
public:
    explicit FnsInUse(const Symbol& s) : list_(s.fns.get()), held_(s.version ? s.fns : nullptr) {}
    explicit operator bool() const { return list_ != nullptr; }
    const FnList& operator*() const { return *list_; }
    const FnList* operator->() const { return list_; }

private:
    const FnList* list_;
    FnListRef held_;
};

// The functions the standard library gives every engine, by shared name id; or the library's
// together with a host's prepared functions (names extending the library's).
struct LibraryTable {
    explicit LibraryTable(const Names* base = nullptr) : names(base) {}
    Names names;
    std::vector<FnListRef> fns;  // by id
};

class Symbols {
public:
    explicit Symbols(const LibraryTable& lib);
    ~Symbols();
    Symbols(const Symbols&) = delete;
    Symbols& operator=(const Symbols&) = delete;

    Names& names() { return *names_; }
    const std::shared_ptr<Names>& names_ptr() const { return names_; }
    const std::string& name(uint32_t id) const { return names_->name(id); }

    Symbol& at(uint32_t id) {
        if (Symbol* s = made(id)) return *s;
        return make(id);
    }
    Symbol& of(std::string_view name) { return at(names_->intern(name)); }
    // Null when the name is unknown (nothing is added).
    Symbol* find(std::string_view name) {
        uint32_t id = names_->find(name);
        return id ? &at(id) : nullptr;
    }
    // Calls f(Symbol&) for every name that has functions, globals, top-level variables or a class.
    template <class F> void each(F&& f) {
        for (uint32_t id = 1; id < names_->end(); ++id) {
            Symbol* s = made(id);
            if (!s) {
                if (id < lib_->fns.size() && lib_->fns[id]) f(at(id));
                continue;
            }
            f(*s);
        }
    }
    uint64_t next_version() { return ++versions_; }
    // Takes `table` (the library's with more functions, kept alive by keep) in place of the
    // library's. Only for an engine that has named nothing of its own and added no function:
    // false, and nothing changed, otherwise.
    bool rebase(const LibraryTable& table, std::shared_ptr<const void> keep);
    // Drops every value and function (the engine is going away).
    void clear();

private:
    // Symbols by id in pages made on first use: an engine pays only for the names it meets, not
    // for every name of the library. The symbols themselves are made in the order they are met.
    // An engine made per call of a host's script keeps its first pages and its first few dozen
    // symbols in itself.
    static constexpr uint32_t kPageBits = 6, kPageMask = (1u << kPageBits) - 1;
    static constexpr size_t kOwnPages = 32;
    static constexpr size_t kSparePages = 2;  // kept in place for the first pages after page 0
    using Page = std::array<Symbol*, kPageMask + 1>;
    Symbol* made(uint32_t id) const {
        const size_t page = id >> kPageBits;
        const Page* p = page < kOwnPages                          ? own_pages_[page]
                        : page - kOwnPages < more_pages_.size() ? more_pages_[page - kOwnPages].get()
                                                                : nullptr;
        return p ? (*p)[id & kPageMask] : nullptr;
    }
    Symbol& make(uint32_t id);
    // f(symbol) for every symbol made so far.
    template <class F> void each_made(F f) { made_.each(f); }
    const LibraryTable* lib_;  // kept alive by names_ when it is not the library's own
    std::shared_ptr<Names> names_;
    Page first_page_{};
    Page spare_pages_[kSparePages]{};
    size_t spares_used_ = 0;
    Page* own_pages_[kOwnPages] = {&first_page_};
    std::unique_ptr<Page> page_store_[kOwnPages];     // holds own_pages_ past the spare ones
    std::vector<std::unique_ptr<Page>> more_pages_;   // past own_pages_
    StableList<Symbol, 32> made_;
    uint64_t versions_ = 0;
};

// Sets fns and what is derived from it.
void set_functions(Symbol& s, FnListRef fns, uint64_t version);

}  // namespace chai
