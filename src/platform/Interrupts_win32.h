#pragma once

#include <windows.h>

// An event that is set once an interrupt has arrived (Interrupts.h), for code
// that waits on handles; null if the system could not make one.
HANDLE interruptEvent();
