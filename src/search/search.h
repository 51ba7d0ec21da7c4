// The search: the engine a front end asks for a move, and the parts it is
// made of (scores, the transposition table, the repetition record, the time
// control, the workers and their threads).
#pragma once

#include "search/engine.h"      // IWYU pragma: export
#include "search/repetitions.h" // IWYU pragma: export
#include "search/request.h"     // IWYU pragma: export
#include "search/score.h"       // IWYU pragma: export
#include "search/threads.h"     // IWYU pragma: export
#include "search/timecontrol.h" // IWYU pragma: export
#include "search/ttable.h"      // IWYU pragma: export
#include "search/wdl.h"         // IWYU pragma: export
#include "search/worker.h"      // IWYU pragma: export
