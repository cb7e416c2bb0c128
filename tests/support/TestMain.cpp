// Test entry: the component object system is initialised for the thread, as in the program.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <objbase.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  CoInitialize(nullptr);
#endif
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
#ifdef _WIN32
  CoUninitialize();
#endif
  return result;
}
