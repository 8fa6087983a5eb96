#pragma once

// The reverse-domain prefix of every lock, queue and notification name of the networking library.
#define NT_NETWORKING_PREFIX "tv.catalogue."
