// Drives Korvalis from another process as a user would, for the end-to-end scripts.
//   wait CAPTION [MS]            waits for the window; exit 1 when it does not appear
//   gone CAPTION [MS]            waits until the window has closed
//   caption PREFIX [MS]          waits for a visible window whose caption begins so; prints it
//   labels CAPTION               prints the texts of its labels, one a line
//   checks CAPTION               prints each check box as "caption=0|1"
//   check CAPTION BOX 0|1        sets a check box as a click would
//   press CAPTION BUTTON         presses a button
//   key CAPTION VK               presses a key in the window (decimal virtual-key code)
//   listkey CAPTION VK...        presses keys in the window's list, as Home and Down select a line
//   type CAPTION TEXT            puts the text in the window's first edit box, as typing would
//   closebox CAPTION             clicks the window's close box
//   tray MESSAGE...              sends mouse messages (hex, e.g. 204 205) to the tray icon
//   menu KEY...                  presses keys (decimal codes) in the open pop-up menu
//   screenshot FILE              saves the screen as BMP
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/WindowDriver.h"

using namespace korvalis::testing;

namespace {

constexpr UINT kTrayCallback = 0xB054;

int Timeout(int argc, char** argv, int at) { return argc > at ? std::atoi(argv[at]) : 10000; }

HWND Find(const char* caption) {
  HWND window = WaitForWindow(caption, 10000);
  if (!window) std::fprintf(stderr, "no window \"%s\"\n", caption);
  return window;
}

struct CaptionSearch {
  const std::string& prefix;
  std::string found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<CaptionSearch*>(data);
  const std::string caption = WindowText(window);
  if (!IsWindowVisible(window) || caption.rfind(search.prefix, 0) != 0) return TRUE;
  search.found = caption;
  return FALSE;
}

// The caption of a visible top-level window that begins with the prefix; empty when none does.
std::string CaptionBeginning(const std::string& prefix) {
  CaptionSearch search{prefix, {}};
  EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Tray(int argc, char** argv) {
  HWND tray = nullptr;
  for (int waited = 0; !tray && waited < 10000; waited += 100, Sleep(100))
    tray = FindWindowA("KorvalisTrayWindow", nullptr);
  if (!tray) return 1;
  for (int i = 2; i < argc; ++i) {
    PostMessageA(tray, kTrayCallback, 0, static_cast<LPARAM>(std::strtoul(argv[i], nullptr, 16)));
    Sleep(100);
  }
  return 0;
}

int Menu(int argc, char** argv) {
  HWND menu = nullptr;
  for (int waited = 0; !menu && waited < 10000; waited += 100, Sleep(100)) {
    menu = FindWindowA("#32768", nullptr);
    if (menu && !IsWindowVisible(menu)) menu = nullptr;
  }
  if (!menu) return 1;
  for (int i = 2; i < argc; ++i) {
    PressKey(menu, static_cast<WPARAM>(std::atoi(argv[i])));
    Sleep(100);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "wait" && argc >= 3) return WaitForWindow(argv[2], Timeout(argc, argv, 3)) ? 0 : 1;
  if (command == "gone" && argc >= 3) {
    HWND window = FindWindowA(nullptr, argv[2]);
    return !window || WaitUntilGone(window, Timeout(argc, argv, 3)) ? 0 : 1;
  }
  if (command == "caption" && argc >= 3) {
    for (int waited = 0; waited <= Timeout(argc, argv, 3); waited += 50, Sleep(50)) {
      const std::string caption = CaptionBeginning(argv[2]);
      if (caption.empty()) continue;
      std::printf("%s\n", caption.c_str());
      return 0;
    }
    return 1;
  }
  if (command == "tray") return Tray(argc, argv);
  if (command == "menu") return Menu(argc, argv);
  if (command == "screenshot" && argc == 3) return SaveScreenshot(argv[2]) ? 0 : 1;
  if (argc < 3) {
    std::fprintf(stderr, "usage: see the comment at the top of korvalis_driver.cpp\n");
    return 2;
  }
  HWND window = Find(argv[2]);
  if (!window) return 1;
  if (command == "labels") {
    for (const auto& text : StaticTexts(window)) std::printf("%s\n", text.c_str());
  } else if (command == "checks") {
    for (const auto& child : Children(window))
      if ((GetWindowLongA(child.handle, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
        std::printf("%s=%d\n", child.text.c_str(), IsChecked(child.handle) ? 1 : 0);
  } else if (command == "check" && argc == 5) {
    HWND box = ChildWithText(window, argv[3]);
    if (!box) return 1;
    if (IsChecked(box) != (std::atoi(argv[4]) != 0)) PostMessageA(box, BM_CLICK, 0, 0);
  } else if (command == "press" && argc == 4) {
    if (!ChildWithText(window, argv[3])) return 1;
    PressButton(window, argv[3]);
  } else if (command == "key" && argc == 4) {
    PressKey(window, static_cast<WPARAM>(std::atoi(argv[3])));
  } else if (command == "listkey") {
    HWND list = ChildOfClass(window, "SysListView32");
    if (!list) return 1;
    SetForegroundWindow(window);
    for (int i = 3; i < argc; ++i) {
      PressKey(list, static_cast<WPARAM>(std::atoi(argv[i])));
      Sleep(100);
    }
  } else if (command == "type" && argc == 4) {
    HWND edit = ChildOfClass(window, "Edit");
    if (!edit) return 1;
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]));
  } else if (command == "closebox") {
    PressCloseBox(window);
  } else {
    return 2;
  }
  std::fflush(stdout);
  return 0;
}
