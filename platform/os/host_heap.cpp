// The settings of the host programs' heap (jemalloc reads this symbol at its
// start): memory in large pages where the system allows them, for the
// drawings and result texts of hundreds of megabytes a take-off builds; and
// freed memory kept for reuse rather than given back to the system while
// the program runs, so a program holds the most it needed at once until it
// ends. A command frees and makes entities by the hundred thousand within
// seconds: memory given back comes straight back as new large pages, each
// cleared by the kernel again (a quarter of a large conversion's time went
// there).
extern "C" {
extern const char* malloc_conf;
const char* malloc_conf = "thp:always,metadata_thp:always,dirty_decay_ms:-1,muzzy_decay_ms:-1";
}
