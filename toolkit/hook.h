// Hooks: callables stored in members whose names begin with "b". A hook may
// be written with the full argument list or with none at all, and may return
// nothing, a flag or a number; the toolkit sees an optional number, where
// "empty" means "no answer, let the platform's default stand".
#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace vistoro {

using HookResult = std::optional<long>;

namespace detail {
template <class R> HookResult toHookResult(R &&r) {
    using D = std::decay_t<R>;
    if constexpr (std::is_same_v<D, HookResult> || std::is_same_v<D, std::optional<bool>>) {
        return r ? HookResult(static_cast<long>(*r)) : std::nullopt;
    } else if constexpr (std::is_same_v<D, bool> || std::is_integral_v<D> || std::is_enum_v<D>) {
        return static_cast<long>(r);
    } else {
        return std::nullopt; // any other value: no answer
    }
}
} // namespace detail

template <class... Args> class Hook {
  public:
    Hook() = default;
    Hook(std::nullptr_t) {}

    template <class F>
        requires(!std::same_as<std::decay_t<F>, Hook> &&
                 (std::invocable<std::decay_t<F> &, Args...> ||
                  std::invocable<std::decay_t<F> &>))
    Hook(F &&f) {
        using Fn = std::decay_t<F>;
        fn_ = [g = Fn(std::forward<F>(f))](Args... a) mutable -> HookResult {
            if constexpr (std::invocable<Fn &, Args...>) {
                using R = std::invoke_result_t<Fn &, Args...>;
                if constexpr (std::is_void_v<R>) {
                    g(a...);
                    return std::nullopt;
                } else {
                    return detail::toHookResult(g(a...));
                }
            } else {
                using R = std::invoke_result_t<Fn &>;
                if constexpr (std::is_void_v<R>) {
                    g();
                    return std::nullopt;
                } else {
                    return detail::toHookResult(g());
                }
            }
        };
    }

    explicit operator bool() const noexcept { return static_cast<bool>(fn_); }
    // Calls through a copy, so that a hook that replaces itself while it
    // runs (the zoom window's on-init hook does) stays alive to the end.
    HookResult operator()(Args... a) const {
        auto keep = fn_;
        return keep(a...);
    }
    void reset() noexcept { fn_ = nullptr; }

  private:
    std::function<HookResult(Args...)> fn_;
};

// True unless the hook answered an explicit false (0).
inline bool notFalse(const HookResult &r) { return !r || *r != 0; }
// True only when the hook answered an explicit false (0).
inline bool isFalse(const HookResult &r) { return r && *r == 0; }

} // namespace vistoro
