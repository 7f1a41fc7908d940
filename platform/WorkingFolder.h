// The working folders older versions of the program made for each window,
// below its TEMP/ folder (run-<pid>-XXXXXX, locked while in use). Pictures
// pass in memory now, so no folder is made; those a version ended without
// removing (a crash, a kill) are removed at the next start, once nobody
// holds their lock, and TEMP/ itself goes when that leaves it empty.
#pragma once

#include <string>

void RemoveAbandonedWorkingFolders(const std::string& Parent);
