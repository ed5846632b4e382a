#pragma once
// libpuzzle's C interface, made usable from C++ (its header neither includes what it
// uses nor declares C linkage).

#include <stddef.h>

extern "C" {
#include <puzzle.h>
}
