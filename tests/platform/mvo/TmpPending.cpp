extern "C" __attribute__((weak)) void HC_Write_Metafile(const char*, const char*, const char*) {}
