// The thin operating-system layer.
#pragma once

#include <cstdint>

// Milliseconds of wall time on a steady clock. Only differences are meaningful.
// (A process-CPU clock would stand still while the engine waits for input.)
int64_t ClockMs();
