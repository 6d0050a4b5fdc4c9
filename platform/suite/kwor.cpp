// Kwor.dll: the suite's estimate library. The module binds and frees it and
// calls nothing in it, so it exports nothing but its own name.
extern "C" __attribute__((visibility("default"))) const char* KivKwor_Name() { return "Kwor.dll"; }
