// Blocks, control flow and exceptions.
#include "chai/runtime/fast_paths.hpp"
#include "chai/runtime/scopes.hpp"

namespace chai {

Value Interp::eval_statements(const Node* n) {
    const size_t last = n->kids.size() - 1;
    for (size_t i = 0; i < last; ++i) {
        exec(n->kid(i));
        if (ctl_ != Ctl::None) return no_value();
    }
    return eval(n->kid(last));
}

Value Interp::eval_block(const Node* n) {
    // An empty block is true.
    if (n->kids.empty()) return Value::boolean(true, kTemp);
    BlockScope scope(*this, n);
    return eval_statements(n);
}

// The commonest branch in a loop, a block of one `x op= y` on doubles and no variables of its
// own ({ x += 0.5 }), done without entering the block; anything else goes the general way. Taken
// for the branches of an if with an else only: in a lone if's place it costs tight loops more
// than it saves.
CHAI_HOT_INLINE void Interp::exec_branch(const Node* b) {
    if (b->kind == NK::Block && b->kids.size() == 1 && b->slot == b->slot_end && double_compound(b->first)) return;
    exec(b);
}

CHAI_HOT_INLINE void Interp::run_body(const Node* n) {
    for (const auto& k : n->kids) {
        const Node* s = k.get();
        if (s->kind == NK::If) {
            // The commonest: one condition, no else (its branch is the last kid; an if has two or more).
            const auto last = s->kids.end() - 1;
            if (last->get() == s->second) {
                if (test(s->first)) exec(s->second);
            } else {
                auto c = s->kids.begin();
                for (; c < last; c += 2)
                    if (test(c->get())) break;
                if (c <= last) exec_branch((c < last ? c + 1 : c)->get());
            }
        } else if (s->kind == NK::Assign) {
            // What exec does with it, without testing for the short way twice.
            if (!compound_statement(s)) {
                check_depth(s);
                eval_assign(s);
            }
        } else if (!int_step(s)) {
            exec(s);
        }
        if (ctl_ != Ctl::None) return;
    }
}

CHAI_HOT_INLINE void Interp::exec_block(const Node* n) {
    // No variables of its own: nothing to clear when it is left (but what eval'd code in it
    // declared; an error leaving it is cleared by the scope around).
    if (n->slot == n->slot_end && !frame_->dyn) {
        run_body(n);
        if (frame_->dyn) trim_dyn(n->depth);
        return;
    }
    exec_scoped_block(n);
}

void Interp::exec_scoped_block(const Node* n) {
    BlockScope scope(*this, n);
    for (const auto& s : n->kids) {
        exec_statement(s.get());
        if (ctl_ != Ctl::None) break;
    }
}

void Interp::exec_if(const Node* n) {
    if (n->fast == F_IfReturn) return exec_if_return(n);
    size_t i = 0;
    for (; i + 1 < n->kids.size(); i += 2)
        if (test(n->kid(i))) {
            exec(n->kid(i + 1));
            return;
        }
    if (i < n->kids.size()) exec(n->kid(i));
}

// The statement kinds exec hands on, each out of line: exec itself then saves no registers and
// hands them on without a C++ frame of its own.
template <NK K> [[gnu::noinline]] void Interp::exec_kind(const Node* n) {
    if constexpr (K == NK::Block) {
        exec_block(n);
    } else if constexpr (K == NK::Return) {
        if (const Value* v = n->kids.empty() ? nullptr : fast::result_leaf(*frame_, n->first)) {
            ret_ = *v;
            ctl_ = Ctl::Return;
        } else {
            exec_return(n);
        }
    } else if constexpr (K == NK::Prefix) {
        if (!int_step(n) && !step_in_place(n)) eval(n);
    } else {
        static_assert(K == NK::Assign);
        if (!compound_statement(n)) exec_assign(n);
    }
}

void Interp::exec(const Node* n) {
    check_depth(n);
    switch (n->kind) {
    case NK::Block: exec_kind<NK::Block>(n); return;
    case NK::If: exec_if(n); return;
    case NK::Return: exec_kind<NK::Return>(n); return;
    case NK::Prefix: exec_kind<NK::Prefix>(n); return;
    case NK::Assign: exec_kind<NK::Assign>(n); return;
    // The commonest statements go straight to their evaluation: their depth is checked above.
    case NK::Call: eval_call(n); return;
    case NK::Dot: eval_dot(n); return;
    default: break;
    }
    eval(n);
}

Value Interp::eval_if(const Node* n) {
    size_t i = 0;
    for (; i + 1 < n->kids.size(); i += 2)
        if (condition(n->kid(i))) return eval(n->kid(i + 1));
    if (i < n->kids.size()) return eval(n->kid(i));
    return no_value();
}

// A loop's body: a break or continue coming out of a function called in it counts as the
// body's own.
CHAI_HOT_INLINE void Interp::exec_loop_body(const Node* body) {
    try {
        exec_block(body);
    } catch (const LoopJump& j) {
        if (frame_->dyn) trim_dyn(body->depth);
        ctl_ = j.ctl;
    }
}

namespace {
// The loop's view of break/continue; true when the loop must stop.
bool loop_exit(Ctl& ctl) {
    switch (ctl) {
    case Ctl::Break: ctl = Ctl::None; return true;
    case Ctl::Continue: ctl = Ctl::None; return false;
    case Ctl::Return: return true;
    default: return false;
    }
}
}  // namespace

Value Interp::eval_while(const Node* n) {
    const Node* cond = n->condition();
    const Node* body = n->body();
    while (test(cond)) {
        count_step(n);
        exec_loop_body(body);
        if (ctl_ != Ctl::None && loop_exit(ctl_)) break;
    }
    return no_value();
}

Value Interp::eval_for(const Node* n) {
    BlockScope scope(*this, n);
    exec(n->loop_init());
    const Node* cond = n->condition();
    const Node* step = n->loop_step();
    const Node* body = n->body();
    const bool step_is_prefix = step->kind == NK::Prefix, step_is_compound = fast::compound_candidate(step, epoch_);
    // (A comparison of two locals is known by its shape once: other conditions pay one test, as
    // for a loop without one.)
    const bool cond_general = cond && cond->fast != F_CmpLL;
    for (;;) {
        if (cond_general) {
            if (!test(cond)) break;
        } else if (cond && !test_locals(cond)) {
            break;
        }
        count_step(n);
        exec_loop_body(body);
        if (ctl_ != Ctl::None && loop_exit(ctl_)) break;
        if (!int_step(step) && (!step_is_prefix || !step_in_place(step)) && (!step_is_compound || (!double_compound(step) && !compound_in_place(step))))
            exec(step);
    }
    return no_value();
}

Value Interp::eval_switch(const Node* n) {
    BlockScope scope(*this, n);
    Value v = eval(n->first);
    bool matched = false;
    for (size_t i = 1; i < n->kids.size(); ++i) {
        const Node* c = n->kid(i);
        if (c->kind == NK::Case && !matched) {
            Value cv = eval(c->first);
            matched = truth(binary_values(OpCode::Eq, s_eq_, v, cv, c), c);
        } else if (c->kind == NK::Default) {
            matched = true;
        }
        if (matched) {
            try {
                eval(c->body());
            } catch (const LoopJump& j) {
                // A break from a called function ends the switch; a continue is the loop's.
                if (j.ctl != Ctl::Break) throw;
                ctl_ = Ctl::Break;
            }
            if (ctl_ == Ctl::Break) {
                ctl_ = Ctl::None;
                break;
            }
            if (ctl_ != Ctl::None) break;
        }
    }
    return no_value();
}

namespace {
Value error_value(const std::exception& e) {
    const char* type = "exception";
    if (dynamic_cast<const std::out_of_range*>(&e)) type = "out_of_range";
    else if (dynamic_cast<const std::runtime_error*>(&e)) type = "runtime_error";
    const bool range_error = dynamic_cast<const std::range_error*>(&e) != nullptr;
    return make_boxed(Payload(std::in_place_index<P_Error>, ErrorV(type, e.what(), {}, range_error)), 0);
}
}  // namespace

bool Interp::catch_matches(const Node* c, const Value& v) {
    if (!c->params().empty() && !c->params()[0].type.empty() && match(resolve_type(c->params()[0].type), v) != 0) return false;
    if (!c->guarded) return true;
    BlockScope scope(*this, c);
    if (!c->params().empty()) frame_->slots[c->slot] = v;
    return truth(eval(c->guard()), c->guard(), "Guard condition not boolean");
}

Value Interp::eval_try(const Node* n) {
    const Node* fin = n->finally_block();
    auto run_finally = [&]() -> Value {
        if (!fin) return Value::unset();
        const Ctl saved = ctl_;
        Value saved_ret = ret_;
        ctl_ = Ctl::None;
        Value r = eval(fin->body());
        if (ctl_ == Ctl::None) {
            ctl_ = saved;
            ret_ = std::move(saved_ret);
        }
        return r;
    };
    Value result = Value::unset();
    Value thrown = Value::unset();
    try {
        result = eval(n->first);
    } catch (ScriptThrow& t) {
        thrown = t.value;
    } catch (const exception::eval_error&) {
        run_finally();
        throw;
    } catch (const std::exception& e) {
        thrown = error_value(e);
    } catch (...) {
        run_finally();
        throw;
    }
    // The first catch that takes the value handles it; when none does, it is dropped.
    if (!thrown.is_unset()) {
        try {
            for (size_t i = 1; i < n->kids.size(); ++i) {
                const Node* c = n->kid(i);
                if (c->kind != NK::Catch || !catch_matches(c, thrown)) continue;
                BlockScope scope(*this, c);
                if (!c->params().empty()) frame_->slots[c->slot] = thrown;
                result = eval(c->body());
                break;
            }
        } catch (...) {
            run_finally();
            throw;
        }
    }
    if (fin) {
        Value f = run_finally();
        if (!f.is_unset()) result = std::move(f);
    }
    return result.is_unset() ? no_value() : result;
}

}  // namespace chai
