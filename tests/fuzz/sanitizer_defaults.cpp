// The sanitizers' defaults for every fuzz target, so that a run keeps flat
// memory however it is started (ASAN_OPTIONS still overrides each of them).
//
// Qt's libraries have no frame pointers, so the fast unwinder records partly
// random allocation stacks, and the sanitizer keeps every distinct one for
// good: with whole stacks a run's memory grows by about 0.15 KB per input, and
// the 256 MB quarantine of freed memory adds half a gigabyte more. Two frames
// and a 64 MB quarantine keep a run at about 190 MB; rerun a crash with
// ASAN_OPTIONS=malloc_context_size=30 for whole allocation stacks.

extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=64:malloc_context_size=2";
}

extern "C" const char *__ubsan_default_options()
{
    return "print_stacktrace=1";
}
