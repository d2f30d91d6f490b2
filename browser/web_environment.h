#pragma once
// Settings of the web engine that must be in place before it starts.

namespace lumo {

// Makes the web pane draw on machines without GPU acceleration and under a
// virtual X server: WebKit's DMA-BUF renderer leaves the pane blank there, so
// its documented fallback is switched on. A value the user set is kept.
// Call before the first web view exists.
void PrepareWebEngineEnvironment();

// Turns on the web engine's sandbox for page processes where this system can
// run it (bubblewrap present and allowed to make namespaces); true when it is
// on. Must run before the first web view exists; later calls change nothing.
bool EnableWebSandboxWhereSupported();

} // namespace lumo
