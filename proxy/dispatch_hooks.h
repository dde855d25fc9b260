// The build-fingerprint step that runs after a successful bind. It recognises one build of the
// underlying driver and hooks its dispatch tables; against every other build it leaves the proxy
// a plain forwarder, and it never makes the load fail.
#pragma once

#include "loader.h"

namespace qelt {

// No build is recognised yet: the proxy forwards every call unchanged.
inline void install_dispatch_hooks(const Platform&, const LoaderState&, void**) {}

}  // namespace qelt
