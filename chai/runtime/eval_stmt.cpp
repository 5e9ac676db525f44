// Blocks, control flow and exceptions.
#include "chai/runtime/interp.hpp"

namespace chai {

BoxRef Interp::eval_block(const Node* n, bool new_scope) {
    // An empty block is true; an empty file or eval text has no value.
    if (n->kids.empty()) return n->kind == NK::File ? no_value() : bool_box(true);
    if (new_scope) {
        ScopeGuard g(*this);
        return eval_block(n, false);
    }
    const size_t last = n->kids.size() - 1;
    for (size_t i = 0; i < last; ++i) {
        exec(n->kid(i));
        if (ctl != Ctl::None) return no_value();
    }
    return eval(n->kid(last));
}

void Interp::exec_block(const Node* n) {
    ScopeGuard g(*this);
    for (const auto& s : n->kids) {
        // `if` is the usual statement of a loop body: taken here, its branch stays predictable.
        if (s->kind == NK::If) exec_if(s.get());
        else exec(s.get());
        if (ctl != Ctl::None) break;
    }
}

void Interp::exec_if(const Node* n) {
    size_t i = 0;
    for (; i + 1 < n->kids.size(); i += 2)
        if (condition(n->kid(i))) {
            exec(n->kid(i + 1));
            return;
        }
    if (i < n->kids.size()) exec(n->kid(i));
}

void Interp::exec(const Node* n) {
    switch (n->kind) {
    case NK::Block: exec_block(n); return;
    case NK::If: exec_if(n); return;
    case NK::Prefix:
        if (step_in_place(n)) return;
        break;
    default: break;
    }
    eval(n);
}

BoxRef Interp::eval_if(const Node* n) {
    size_t i = 0;
    for (; i + 1 < n->kids.size(); i += 2)
        if (condition(n->kid(i))) return eval(n->kid(i + 1));
    if (i < n->kids.size()) return eval(n->kid(i));
    return no_value();
}

namespace {
// Handles the loop's view of break/continue; returns true when the loop must stop.
bool loop_exit(Interp& in) {
    switch (in.ctl) {
    case Ctl::Break: in.ctl = Ctl::None; return true;
    case Ctl::Continue: in.ctl = Ctl::None; return false;
    case Ctl::Return: return true;
    default: return false;
    }
}
}  // namespace

BoxRef Interp::eval_while(const Node* n) {
    while (condition(n->kid(0))) {
        count_step(n);
        const Node* body = n->kid(1);
        if (body->kind == NK::Block) exec_block(body);
        else exec(body);
        if (ctl != Ctl::None && loop_exit(*this)) break;
    }
    return no_value();
}

BoxRef Interp::eval_for(const Node* n) {
    ScopeGuard g(*this);
    exec(n->kid(0));
    // The children are read on every turn: a script may replace them while the loop runs.
    // Dispatching on the body's and the step's kinds here, at the loop's own site, keeps the
    // branches of the loop predictable.
    for (;;) {
        if (n->kid(1) && !condition(n->kid(1))) break;
        count_step(n);
        const Node* body = n->kid(3);
        if (body->kind == NK::Block) exec_block(body);
        else exec(body);
        if (ctl != Ctl::None && loop_exit(*this)) break;
        const Node* step = n->kid(2);
        if (step->kind != NK::Prefix || !step_in_place(step)) exec(step);
    }
    return no_value();
}

BoxRef Interp::eval_switch(const Node* n) {
    ScopeGuard g(*this);
    BoxRef v = eval(n->kid(0));
    bool matched = false;
    for (size_t i = 1; i < n->kids.size(); ++i) {
        const Node* c = n->kid(i);
        if (c->kind == NK::Case && !matched) {
            BoxRef cv = eval(c->kid(0));
            static const uint32_t eq = intern("==");
            BoxRef r = binary_values(OpCode::Eq, eq, "==", v, cv, c);
            matched = truth(r, c);
        } else if (c->kind == NK::Default) {
            matched = true;
        }
        if (matched) {
            eval(c->kids.back().get());
            if (ctl == Ctl::Break) {
                ctl = Ctl::None;
                break;
            }
            if (ctl != Ctl::None) break;
        }
    }
    return no_value();
}

namespace {
BoxRef error_value(const std::exception& e) {
    const char* type = "exception";
    if (dynamic_cast<const std::out_of_range*>(&e)) type = "out_of_range";
    else if (dynamic_cast<const std::runtime_error*>(&e)) type = "runtime_error";
    bool range_error = dynamic_cast<const std::range_error*>(&e) != nullptr;
    return make_box(Value(ErrorV(type, e.what(), {}, range_error)));
}
}  // namespace

bool Interp::catch_matches(const Node* c, const BoxRef& v) {
    if (!c->params.empty() && !c->params[0].type.empty()) {
        TypeKey t = resolve_type(c->params[0].type);
        if (match(t, *v) != 0) return false;
    }
    if (!c->flag) return true;
    ScopeGuard g(*this);
    if (!c->params.empty()) declare(c->params[0].name, v, c);
    return truth(eval(c->kid(1)), c->kid(1), "Guard condition not boolean");
}

BoxRef Interp::eval_try(const Node* n) {
    const Node* fin = n->kids.back()->kind == NK::Finally ? n->kids.back().get() : nullptr;
    auto run_finally = [&]() {
        if (!fin) return BoxRef();
        Ctl saved = ctl;
        BoxRef saved_ret = ret;
        ctl = Ctl::None;
        BoxRef r = eval(fin->kid(0));
        if (ctl == Ctl::None) {
            ctl = saved;
            ret = saved_ret;
        }
        return r;
    };
    BoxRef result;
    BoxRef thrown;
    try {
        ScopeGuard g(*this);
        result = eval(n->kid(0));
    } catch (ScriptThrow& t) {
        thrown = t.value;
    } catch (const exception::eval_error&) {
        run_finally();
        throw;
    } catch (const std::exception& e) {
        thrown = error_value(e);
        thrown->is_temp = false;
        // Keep the original for rethrow when no catch takes it.
        bool any = false;
        for (size_t i = 1; i < n->kids.size(); ++i)
            if (n->kid(i)->kind == NK::Catch && catch_matches(n->kid(i), thrown)) any = true;
        if (!any) {
            run_finally();
            throw;
        }
    } catch (...) {
        run_finally();
        throw;
    }
    if (thrown) {
        bool handled = false;
        try {
            for (size_t i = 1; i < n->kids.size() && !handled; ++i) {
                const Node* c = n->kid(i);
                if (c->kind != NK::Catch || !catch_matches(c, thrown)) continue;
                handled = true;
                ScopeGuard g(*this);
                if (!c->params.empty()) declare(c->params[0].name, thrown, c);
                result = eval(c->kid(0));
            }
        } catch (...) {
            run_finally();
            throw;
        }
        if (!handled) {
            run_finally();
            throw ScriptThrow{thrown};
        }
    }
    if (fin) {
        BoxRef f = run_finally();
        if (f) result = f;
    }
    return result ? result : no_value();
}

}  // namespace chai
