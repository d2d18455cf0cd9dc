// Runs a function on a thread of its own with a large stack, for searches whose nesting
// outgrows the caller's stack budget. Blocks until the function returns.
#pragma once
#include <cstddef>

// Stack given to the search thread, and how much of it a search may use (the rest is the
// thread's own overhead and a safety margin).
constexpr std::size_t kLargeStackBytes = 512u << 20;
constexpr std::size_t kLargeStackBudgetBytes = kLargeStackBytes - (8u << 20);
// How much of the caller's own stack a search may use before it moves to the large stack,
// and what it always leaves free at the low end of that stack.
constexpr std::size_t kCallerStackBudgetBytes = 256u << 10;
constexpr std::size_t kCallerStackReserveBytes = 64u << 10;

// The lowest frame address a search that starts at frame may reach on the calling thread's
// stack: the budget below frame, and never closer than the reserve to the stack's low end.
const char* CallerStackFloor(const char* frame);

// False when the thread could not be started; the function has not run then.
bool RunOnLargeStack(void (*function)(void*), void* argument);
