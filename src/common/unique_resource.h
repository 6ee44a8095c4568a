// One move-only owner per kind of system resource. Traits name the raw type,
// the empty value and the release call, so each kind is a one-line alias.
#pragma once

#include <utility>

template <typename Traits> class UniqueResource {
  public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : value_(value) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    Type Get() const { return value_; }
    bool Valid() const { return value_ != Traits::Empty(); }
    explicit operator bool() const { return Valid(); }

    // For out-parameters: the old value is released first.
    Type* Put() {
        Reset();
        return &value_;
    }

    Type Release() { return std::exchange(value_, Traits::Empty()); }

    void Reset(Type value = Traits::Empty()) {
        Type old = std::exchange(value_, value);
        if (old != Traits::Empty()) {
            Traits::Close(old);
        }
    }

  private:
    Type value_ = Traits::Empty();
};
