#pragma once
// The vector instructions the engine's run kernels may use. Each kernel is
// built for the baseline and for AVX2, with the same arithmetic in the same
// order and no fused operations, so both render the same samples; the
// engine picks the widest this processor runs.
enum class Isa : unsigned char { kBaseline, kAvx2 };

Isa BestIsa();

// A kernel body built for each instruction set, called by the one chosen.
#if defined(__x86_64__) || defined(__i386__)
#define VESK_AVX2 __attribute__((target("avx2")))
#else
#define VESK_AVX2
#endif
