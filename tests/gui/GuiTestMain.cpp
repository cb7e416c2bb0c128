// Entry of the window tests: the application is set up as the program sets it up, and the
// central error report records instead of blocking on a message box.
#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "gui/GuiTest.h"
#include "ui/Application.h"

namespace korvalis::testing {
std::vector<std::string> reportedErrors;
}

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  auto& application = korvalis::ui::Application();
  application.Initialize(GetModuleHandleA(nullptr));
  application.Title = "Korvalis";
  application.OnException = [](const std::string& text) { korvalis::testing::reportedErrors.push_back(text); };
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
