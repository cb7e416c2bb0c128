#pragma once
// An ordered list of icons that tells its subscribers about every change.
#include <functional>
#include <vector>

#include "shell/Notifier.h"
#include "shell/TrayApi.h"

namespace korvalis::shell {

class TIconList {
 public:
  TIconList() = default;
  TIconList(const TIconList&) = delete;
  TIconList& operator=(const TIconList&) = delete;

  int Count() const { return static_cast<int>(icons_.size()); }
  // Fails with "List index out of bounds (%d)" outside 0 to Count - 1.
  IconHandle Items(int index) const;
  void SetItem(int index, IconHandle icon);
  void Add(IconHandle icon);
  void Delete(int index);
  void Clear();
  // Takes over the other list's icons; one notification for the whole change.
  void Assign(const TIconList& other);

  [[nodiscard]] Subscription SubscribeChanged(std::function<void()> handler) {
    return changed_.Subscribe(std::move(handler));
  }

 private:
  void CheckIndex(int index) const;

  std::vector<IconHandle> icons_;
  Notifier changed_;
};

}  // namespace korvalis::shell
