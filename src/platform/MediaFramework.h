#pragma once

// Initialises GStreamer once per process (the stand-in of per-thread COM initialisation).
// Safe to call from any thread, any number of times; false when GStreamer cannot start.
bool InitializeMediaFramework();
