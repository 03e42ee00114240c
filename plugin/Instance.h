#pragma once
// One instrument with its editor, as every entry point hands it out.
#include "platform/vst2abi.h"

class Vesk;
struct VeskIdentity;

// Built under a process-wide lock, so concurrent instantiations do not
// overlap; null when there is not enough memory.
Vesk* NewVeskInstance(vst2::HostCallback hostCallback, const VeskIdentity& identity);
