#pragma once

namespace tarvik {

// True when a network interface that is up and running has an address other
// than a loopback one: a cheap hint that a mail server may be reachable.
bool HasNetworkConnection();

} // namespace tarvik
