// The engine of the search and tool tests that need no front end: one per
// test program, made on first use (its table is large); each test sets its
// settings and tables to what it needs.
#pragma once

#include "search/search.h"

inline Engine& TestEngine() {
    static Engine engine;
    return engine;
}
