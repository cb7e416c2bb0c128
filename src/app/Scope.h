#pragma once
// Marks a call under way (a check, a tick, a renewal) for as long as it runs, also when it ends
// with an error, so that what its open questions or message boxes dispatch can tell.
namespace korvalis::app {

class TScope {
 public:
  explicit TScope(int& depth) : depth_(depth) { ++depth_; }
  ~TScope() { --depth_; }
  TScope(const TScope&) = delete;
  TScope& operator=(const TScope&) = delete;

 private:
  int& depth_;
};

}  // namespace korvalis::app
