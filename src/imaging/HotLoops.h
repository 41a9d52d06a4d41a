#pragma once

// How the per-frame pixel loops are compiled; for such loops in any layer (the imaging
// routines, the mask corrections).

// Marks a per-frame hot loop that is worth compiling twice: once for the baseline
// processor and once with AVX2, picked at load time by the processor the library runs
// on. Results are the same either way (integer arithmetic, or the same float operations).
// Not under ThreadSanitizer: the load-time selector would run before its runtime starts.
// Not where the build says the target has no load-time selection (KORVIX_NO_IFUNC: it is
// an ELF feature, so the Windows DLL gets the baseline loops).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_THREAD__) && !defined(KORVIX_NO_IFUNC)
#define KORVIX_HOT_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define KORVIX_HOT_LOOP
#endif

// Marks a loop of table look-ups or scattered loads. There is no byte gather, and the
// vectoriser's emulated gathers are several times slower than plain loads, so it is
// kept off these loops.
#if defined(__GNUC__) && !defined(__clang__)
#define KORVIX_SCALAR_LOOP __attribute__((optimize("no-tree-vectorize")))
#else
#define KORVIX_SCALAR_LOOP
#endif

