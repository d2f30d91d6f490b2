#pragma once
// Settings of the web engine that the program puts in place before the engine
// module is loaded: the process environment and whether page processes can be
// sandboxed. Defined on the pane's side; the module only reads the answers.

namespace lumo {

// Makes the web pane draw on machines without GPU acceleration and under a
// virtual X server: WebKit's DMA-BUF renderer leaves the pane blank there, so
// its documented fallback is switched on. A value the user set is kept.
// Call before the first web view exists.
void PrepareWebEngineEnvironment();

// Starts finding out, in a child process, whether this system can run the web
// engine's sandbox for page processes (bubblewrap present and allowed to make
// namespaces). Called early at start-up so that the answer is ready when the
// engine starts; later calls do nothing.
void StartWebSandboxProbe();
// The answer of the probe (started now if it was not), waiting for it if needed.
bool WebSandboxSupported();

} // namespace lumo
