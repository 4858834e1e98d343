// Start-up timing for the benchmark: with NITRATE_STATS set in the
// environment, the start-up marks the end of each of its steps and the main
// loop prints them on stderr after the show. Costs nothing otherwise.
#pragma once

// Ends the step called name (a string literal) at the current time; the
// first call only starts the clock.
void MarkStartupStep(const char* name);
// Adds seconds to the running total called name (a string literal).
void AddStartupTime(const char* name, double seconds);
// Seconds on the show clock, for the totals.
double StartupClock();
// One "startup:" line with every step's length and every total, in ms.
void ReportStartupSteps();
