#pragma once

namespace platform {

// Call before the application object exists. Qt's GLib event loop runs a timer that has just
// fired again only once the loop is idle, so a socket that always has data would hold the
// one-second tick back for as long as the data flows; Qt's own UNIX loop serves timers and
// sockets alike on every pass.
void useFairEventLoop();

} // namespace platform
