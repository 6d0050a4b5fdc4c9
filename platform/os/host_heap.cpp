// The settings of the host programs' heap (jemalloc reads this symbol at its
// start): memory in large pages where the system allows them, for the
// drawings and result texts of hundreds of megabytes a take-off builds.
extern "C" {
extern const char* malloc_conf;
const char* malloc_conf = "thp:always,metadata_thp:always";
}
