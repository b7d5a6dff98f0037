// Change notification for observable properties: views connect a slot and redraw when a
// value really changed. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

namespace tervane {

template <class... Args>
class Signal {
 public:
  using Slot = std::function<void(const Args&...)>;

  // Keeps the slot connected for as long as the returned handle lives.
  class Connection {
   public:
    Connection() = default;
    Connection(std::weak_ptr<std::map<std::uint64_t, Slot>> slots, std::uint64_t id)
        : slots_(std::move(slots)), id_(id) {}
    Connection(Connection&& other) noexcept { *this = std::move(other); }
    Connection& operator=(Connection&& other) noexcept {
      disconnect();
      slots_ = std::move(other.slots_);
      id_ = other.id_;
      other.slots_.reset();
      return *this;
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { disconnect(); }
    void disconnect() {
      if (auto slots = slots_.lock()) slots->erase(id_);
      slots_.reset();
    }

   private:
    std::weak_ptr<std::map<std::uint64_t, Slot>> slots_;
    std::uint64_t id_ = 0;
  };

  [[nodiscard]] Connection connect(Slot slot) {
    const auto id = nextId_++;
    slots_->emplace(id, std::move(slot));
    return Connection(slots_, id);
  }

  void emit(const Args&... args) const {
    // A copy, so that a slot may disconnect itself or others while being called.
    const auto slots = *slots_;
    for (const auto& [id, slot] : slots) slot(args...);
  }

 private:
  std::shared_ptr<std::map<std::uint64_t, Slot>> slots_ =
      std::make_shared<std::map<std::uint64_t, Slot>>();
  std::uint64_t nextId_ = 0;
};

// A value with a change signal that fires only when a new value differs from the old.
template <class T>
class Observable {
 public:
  Observable() = default;
  explicit Observable(T initial) : value_(std::move(initial)) {}

  const T& get() const { return value_; }
  operator const T&() const { return value_; }

  void set(T value) {
    if (value == value_) return;
    value_ = std::move(value);
    changed_.emit(value_);
  }

  Signal<T>& changed() { return changed_; }

 private:
  T value_{};
  Signal<T> changed_;
};

}  // namespace tervane
