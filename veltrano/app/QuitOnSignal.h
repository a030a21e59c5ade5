#pragma once

class QObject;

// SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C) end the event loop in order
// instead of killing the process, so the engine is let go and the settings
// are written as at a normal exit. Returns false when it could not be set up.
bool QuitOnSignal(QObject* parent);
