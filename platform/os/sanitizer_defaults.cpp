// The defaults of the address sanitizer in a sanitized build, compiled into
// each program (the runtime looks for this function in the program itself;
// ASAN_OPTIONS adds to it and overrides it).
//
// intercept_tls_get_addr=0: the runtime otherwise records the thread-local
// blocks of loaded modules (the plug-in, the suite's table library) through
// __tls_get_addr, and guesses each block's extent from a header that this C
// library does not write. When such a block lands 16 bytes past a page
// boundary the guess reads the allocator's own chunk header instead, and the
// leak check at exit scans from a near-null address and crashes ("Tracer
// caught signal 11"), depending only on where the block was allocated. The
// blocks it does not misread it records as empty, so the leak check loses
// nothing by not recording them.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
