#pragma once

#include "platform/ProcessLaunch_win32.h"
#include "platform/UniqueHandle_win32.h"

// Inheritable copies of the tool's own standard handles, so that a child's
// input and output lead wherever the tool's do, a file included. A handle the
// tool lacks (a program without a console started it) is the null device.
class InheritedStandardHandles {
  public:
    InheritedStandardHandles();

    const StandardHandles& handles() const { return handles_; }

  private:
    UniqueHandle copies_[3]; // input, output, error
    UniqueHandle null_;
    StandardHandles handles_;
};
