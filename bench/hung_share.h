#pragma once

namespace tarnwick::bench {

// Times a stop, a lower depth and a window close while a read-ahead worker is stuck in a
// folder of a hung network share; prints each against the 50 ms target.
void TimeHungShare();

}  // namespace tarnwick::bench
