#pragma once

namespace korvalis::app {

// What the options dialog shows and hands back: the three switches and starting with Windows.
struct TOptions {
  bool monitoring = false;
  bool notification = false;
  bool logs = false;
  bool startsWithWindows = false;
  bool askUpdates = false;
};

}  // namespace korvalis::app
