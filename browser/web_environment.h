#pragma once
// Settings of the web engine that must be in place before it starts.

namespace lumo {

// Makes the web pane draw on machines without GPU acceleration and under a
// virtual X server: WebKit's DMA-BUF renderer leaves the pane blank there, so
// its documented fallback is switched on. A value the user set is kept.
// Call before the first web view exists.
void PrepareWebEngineEnvironment();

} // namespace lumo
