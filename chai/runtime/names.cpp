#include "chai/runtime/names.hpp"

#include "chai/runtime/callable.hpp"

namespace chai {

Names::Names(const Names* base, std::shared_ptr<const void> keep)
    : base_(base), keep_(std::move(keep)), first_(base ? base->end() : 1) {}

void Names::rebase(const Names* base, std::shared_ptr<const void> keep) {
    base_ = base;
    keep_ = std::move(keep);
    first_ = base->end();
}

uint32_t Names::find_hashed(std::string_view s, uint32_t h) const {
    // A name is in one table of the chain only, so the order they are probed in is free.
    for (const Names* n = this; n; n = n->base_)
        if (uint32_t id = n->find_here(s, h)) return id;
    return 0;
}

inline uint32_t Names::find_here(std::string_view s, uint32_t h) const {
    if (table_size_ == 0) return 0;
    const size_t mask = table_size_ - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        const Entry& e = table_[i];
        if (e.id == 0) return 0;
        if (e.hash == h && own(e.id - first_) == s) return e.id;
    }
}

void Names::grow() {
    if (table_size_ == 0) {
        table_ = first_table_;
        table_size_ = kFirstTable;
        return;
    }
    std::vector<Entry> old;
    if (table_ == first_table_) old.assign(first_table_, first_table_ + kFirstTable);
    else old.swap(grown_table_);
    grown_table_.assign(table_size_ * 2, Entry{0, 0});
    table_ = grown_table_.data();
    table_size_ = grown_table_.size();
    const size_t mask = table_size_ - 1;
    for (const Entry& e : old)
        if (e.id) {
            size_t i = e.hash & mask;
            while (table_[i].id) i = (i + 1) & mask;
            table_[i] = e;
        }
}

uint32_t Names::intern(std::string_view s) {
    const uint32_t h = hash(s);
    if (uint32_t id = find_hashed(s, h)) return id;
    names_.emplace_back(s);
    const uint32_t id = first_ + count_++;
    if (2 * (count_ + 1) > table_size_) grow();
    const size_t mask = table_size_ - 1;
    size_t i = h & mask;
    while (table_[i].id) i = (i + 1) & mask;
    table_[i] = {h, id};
    return id;
}

const std::string& Names::name(uint32_t id) const {
    static const std::string none;
    const Names* n = this;
    while (id < n->first_) {
        if (!n->base_ || id == 0) return none;
        n = n->base_;
    }
    const uint32_t i = id - n->first_;
    return i < n->count_ ? n->own(i) : none;
}

Symbols::Symbols(const LibraryTable& lib) : lib_(&lib), names_(std::make_shared<Names>(&lib.names)) {}

bool Symbols::rebase(const LibraryTable& table, std::shared_ptr<const void> keep) {
    // The new table extends the library's names, so the symbols made so far keep their ids.
    if (versions_ != 0 || names_->end() != lib_->names.end() || table.names.base() != &lib_->names)
        return false;
    // The new names keep the table alive as long as this engine or its objects use them.
    // A table nothing else holds yet is retargeted rather than made anew (it holds no name).
    if (names_.use_count() == 1) names_->rebase(&table.names, std::move(keep));
    else names_ = std::make_shared<Names>(&table.names, std::move(keep));
    lib_ = &table;
    each_made([&](Symbol& s) {
        // Most keep the library's own list, and what set_functions derives from it.
        FnListRef fns = s.id < table.fns.size() ? table.fns[s.id] : nullptr;
        if (fns != s.fns) set_functions(s, std::move(fns), 0);
    });
    return true;
}

Symbols::~Symbols() = default;

Symbol& Symbols::make(uint32_t id) {
    const size_t page = id >> kPageBits;
    Page* p;
    if (page < kOwnPages) {
        if (!own_pages_[page])
            own_pages_[page] = spares_used_ < kSparePages ? &spare_pages_[spares_used_++]
                                                          : (page_store_[page] = std::make_unique<Page>()).get();
        p = own_pages_[page];
    } else {
        const size_t i = page - kOwnPages;
        if (i >= more_pages_.size()) more_pages_.resize(i + 1);
        if (!more_pages_[i]) more_pages_[i] = std::make_unique<Page>();
        p = more_pages_[i].get();
    }
    Symbol& s = made_.emplace_back();
    s.id = id;
    s.name = &names_->name(id);
    if (id < lib_->fns.size() && lib_->fns[id]) set_functions(s, lib_->fns[id], 0);
    (*p)[id & kPageMask] = &s;
    return s;
}

void Symbols::clear() {
    each_made([](Symbol& s) {
        s.fns.reset();
        s.global = Value::unset();
        s.top = Value::unset();
    });
}

void set_functions(Symbol& s, FnListRef fns, uint64_t version) {
    const FnList* list = fns && !fns->empty() ? fns.get() : nullptr;
    // One pass: operators' lists are long, and every engine derives these for each name it meets.
    bool only_attr_getters = true, member_getters = false;
    if (list)
        for (const FuncRef& f : *list) {
            only_attr_getters &= f->attr_getter;
            member_getters |= f->member_getter;
        }
    s.only_attr_getters = only_attr_getters;
    s.member_getters = member_getters;
    s.fns = list ? std::move(fns) : nullptr;
    s.version = version;
}

}  // namespace chai
