#pragma once
// The real Windows, through its API.
#include "platform/Platform.h"
#include "platform/win32/Win32Elevation.h"
#include "platform/win32/Win32Environment.h"
#include "platform/win32/Win32EventLog.h"
#include "platform/win32/Win32FileFacts.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Security.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32TaskScheduler.h"

namespace korvalis::platform::win32 {

class Win32Windows {
 public:
  Platform platform() {
    return Platform{registry,  files,    environment, shell,     eventLog, inspector, background ? *background : inspector,
                    services, tasks, elevation, security};
  }

  Win32Registry registry;
  Win32FileSystem files;
  Win32Environment environment;
  Win32Shell shell;
  Win32EventLog eventLog;
  Win32FileInspector inspector;
  FileInspector* background = nullptr;  // the inspector itself when none is set
  Win32Services services;
  Win32TaskScheduler tasks;
  Win32Security security;
  Win32Elevation elevation;
};

}  // namespace korvalis::platform::win32
