// The program's entry, callable from tests as well as from main().
#pragma once

#include <cstdio>

// Opens the main window and runs until it is closed. Returns 0; errors raised
// while a score is loaded propagate to the caller.
int runPlayer();

// runPlayer, with an error that reaches the top written to `err` as
// "Error: " and its text; returns the process's exit status (0 or 1).
int playerMain(std::FILE* err);
