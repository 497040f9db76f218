// A resource-only library; the linker needs one object besides the script.
extern "C" int ZvStringsOnly() { return 0; }
