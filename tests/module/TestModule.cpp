// A module for the loader's tests, built three ways: this version of the
// program, another version, and without the entry point the tests ask for.
extern "C" __attribute__((visibility("default"))) int TirevoTestModuleVersion()
{
    return TEST_MODULE_VERSION;
}

#ifndef TEST_MODULE_BARE
extern "C" __attribute__((visibility("default"))) int TirevoTestModuleAnswer() { return 42; }
#endif
