#include "shell/Notifier.h"

#include <vector>

namespace korvalis::shell {

Subscription Notifier::Subscribe(std::function<void()> handler) {
  const unsigned id = handlers_->nextId++;
  handlers_->byId.emplace(id, std::move(handler));
  return Subscription(handlers_, id);
}

void Notifier::Notify() const {
  // The handlers may change the list, or end the notifier's owner, while they run.
  const auto handlers = handlers_;
  std::vector<unsigned> ids;
  for (const auto& entry : handlers->byId) ids.push_back(entry.first);
  for (const unsigned id : ids) {
    const auto found = handlers->byId.find(id);
    if (found == handlers->byId.end()) continue;
    const auto handler = found->second;
    handler();
  }
}

Subscription::Subscription(Subscription&& other) noexcept
    : handlers_(std::move(other.handlers_)), id_(other.id_) {
  other.handlers_.reset();
}

Subscription& Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    Reset();
    handlers_ = std::move(other.handlers_);
    id_ = other.id_;
    other.handlers_.reset();
  }
  return *this;
}

void Subscription::Reset() {
  if (const auto handlers = handlers_.lock()) handlers->byId.erase(id_);
  handlers_.reset();
}

}  // namespace korvalis::shell
