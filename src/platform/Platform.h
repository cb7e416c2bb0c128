#pragma once
// Everything of the system that the program touches, handed to the code that needs it.
#include "platform/Elevation.h"
#include "platform/Environment.h"
#include "platform/EventLogApi.h"
#include "platform/FileFacts.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Security.h"
#include "platform/Services.h"
#include "platform/Shell.h"
#include "platform/TaskScheduler.h"

namespace korvalis::platform {

struct Platform {
  Registry& registry;
  FileSystem& files;
  Environment& environment;
  Shell& shell;
  EventLogApi& eventLog;
  FileInspector& inspector;
  // For the reads no one waits for (the signers recorded of accepted entries): the resident
  // program hands them to a process of its own.
  FileInspector& background;
  ServiceControl& services;
  TaskScheduler& tasks;
  Elevation& elevation;
  Security& security;
};

}  // namespace korvalis::platform
