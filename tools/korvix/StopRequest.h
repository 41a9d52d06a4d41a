#pragma once

namespace korvix::tool {

// Ctrl-C (SIGINT) and SIGTERM ask a running preview, stream or recording to stop; the
// command then stops the camera and finishes its files before the tool exits.
// Install once, before the acquisition starts.
void InstallStopRequestHandler();
// True once a stop was asked for.
bool StopRequested();

}  // namespace korvix::tool
