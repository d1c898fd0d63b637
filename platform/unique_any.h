// The one owner of every handle and system-allocated text the program takes:
// whatever way a scope ends, what it holds is handed back once. `Traits`
// says what is held and how it goes back, as WIL's unique_any does:
//   using Type = ...;            what is held
//   static Type Invalid();       the value that holds nothing
//   static bool Valid(Type);     whether a value is to be handed back
//   void Close(Type) const;      hands it back (may use the traits' state)
#pragma once

#include <utility>

namespace corvane {

template <typename Traits>
class UniqueAny {
 public:
  using Type = typename Traits::Type;

  UniqueAny() = default;
  explicit UniqueAny(Type value, Traits traits = {}) : traits_(traits), value_(value) {}
  UniqueAny(UniqueAny&& other) noexcept : traits_(other.traits_), value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) {
      reset(other.release());
      traits_ = other.traits_;
    }
    return *this;
  }
  ~UniqueAny() { reset(); }

  bool valid() const { return Traits::Valid(value_); }
  Type get() const { return value_; }
  // Gives up what is held without handing it back.
  Type release() { return std::exchange(value_, Traits::Invalid()); }
  // Hands back what is held, and holds `value` instead.
  void reset(Type value = Traits::Invalid()) {
    if (Traits::Valid(value_)) traits_.Close(value_);
    value_ = value;
  }

 private:
  [[no_unique_address]] Traits traits_{};
  Type value_ = Traits::Invalid();
};

}  // namespace corvane
