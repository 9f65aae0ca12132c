#pragma once

#include <utility>

namespace quillon {

// Runs a clean-up when the scope ends, unless dismissed.
template <typename F>
class ScopeExit {
public:
    explicit ScopeExit(F f) noexcept : m_f(std::move(f)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit()
    {
        if (m_active)
            m_f();
    }
    void dismiss() noexcept { m_active = false; }

private:
    F m_f;
    bool m_active = true;
};

} // namespace quillon
