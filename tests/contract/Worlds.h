#pragma once
// The worlds every contract case runs in: the in-memory one everywhere, the real one on Windows.
#include "contract/World.h"

#ifdef _WIN32
#define KORVALIS_CONTRACT_WORLDS ::testing::Values(MemoryWorldKind(), Win32WorldKind())
#else
#define KORVALIS_CONTRACT_WORLDS ::testing::Values(MemoryWorldKind())
#endif

#define KORVALIS_INSTANTIATE_CONTRACT(Suite)                                                    \
  INSTANTIATE_TEST_SUITE_P(Worlds, Suite, KORVALIS_CONTRACT_WORLDS,                             \
                           [](const ::testing::TestParamInfo<WorldKind>& info) { return std::string(info.param.name); })
