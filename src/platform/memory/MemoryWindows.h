#pragma once
// A whole in-memory Windows for tests: registry, files, environment, shell, event log, what
// program files say of themselves, the services and scheduled tasks and the elevated start of a
// program, set up like a fresh system with its Windows and System folders.
#include "platform/Platform.h"
#include "platform/memory/MemoryElevation.h"
#include "platform/memory/MemoryEnvironment.h"
#include "platform/memory/MemoryEventLog.h"
#include "platform/memory/MemoryFileFacts.h"
#include "platform/memory/MemoryFileSystem.h"
#include "platform/memory/MemoryRegistry.h"
#include "platform/memory/MemorySecurity.h"
#include "platform/memory/MemoryServices.h"
#include "platform/memory/MemoryShell.h"
#include "platform/memory/MemoryTaskScheduler.h"

namespace korvalis::platform::memory {

class MemoryWindows {
 public:
  MemoryWindows();
  MemoryWindows(const MemoryWindows&) = delete;
  MemoryWindows& operator=(const MemoryWindows&) = delete;

  Platform platform() {
    return Platform{registry, files, environment, shell, eventLog, inspector, inspector, services, tasks, elevation, security};
  }

  MemoryRegistry registry;
  MemoryFileSystem files;
  MemoryEnvironment environment;
  MemoryShell shell{files};
  MemoryEventLog eventLog;
  MemoryFileInspector inspector{files};
  MemoryServices services{registry};
  MemoryTaskScheduler tasks;
  MemorySecurity security;
  MemoryElevation elevation{files};
};

}  // namespace korvalis::platform::memory
