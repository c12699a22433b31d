#pragma once

#include "platform/FileTime.h"

#include <string>

// Sets a file's (or directory's, or a symbolic link's own) last-write time;
// its last-access time stays. False when the file is missing or the time
// cannot be set.
bool setLastWriteTime(const std::string& path, FileTime time);
