#pragma once
// One instrument with its editor, as every entry point hands it out.
class Vesk;
struct VeskIdentity;

// Built under a process-wide lock, so concurrent instantiations do not
// overlap; null when there is not enough memory. The caller's adapter
// drives it.
Vesk* NewVeskInstance(const VeskIdentity& identity);
