#pragma once
// A list of handlers to run when something happens, each attached for as long as its
// subscriber keeps the subscription.
#include <functional>
#include <map>
#include <memory>

namespace korvalis::shell {

class Subscription;

class Notifier {
 public:
  Notifier() = default;
  Notifier(const Notifier&) = delete;
  Notifier& operator=(const Notifier&) = delete;

  [[nodiscard]] Subscription Subscribe(std::function<void()> handler);
  // Runs the handlers in subscription order; a handler may unsubscribe itself or others.
  void Notify() const;

 private:
  struct Handlers {
    std::map<unsigned, std::function<void()>> byId;
    unsigned nextId = 0;
  };
  friend class Subscription;

  // Shared with the subscriptions so that either side may go first.
  std::shared_ptr<Handlers> handlers_ = std::make_shared<Handlers>();
};

class Subscription {
 public:
  Subscription() = default;
  ~Subscription() { Reset(); }
  Subscription(Subscription&& other) noexcept;
  Subscription& operator=(Subscription&& other) noexcept;
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;

  void Reset();

 private:
  friend class Notifier;
  Subscription(std::weak_ptr<Notifier::Handlers> handlers, unsigned id) : handlers_(std::move(handlers)), id_(id) {}

  std::weak_ptr<Notifier::Handlers> handlers_;
  unsigned id_ = 0;
};

}  // namespace korvalis::shell
