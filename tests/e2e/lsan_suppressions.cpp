// Leak-checker suppressions of the end-to-end tests, which load and unload Quill.plu.
//
// The log keeps each module's state in an object that is never freed (its shut-down runs from the
// module destructor, after the static destructors); once dlclose unmaps the plug-in that object
// can no longer be reached and counts as leaked, once per load. Its allocations happen while the
// plug-in's constructors run (call_init); frames inside the unloaded plug-in cannot be named, so
// the suppression names the loader's frame and the run-time's module-path helper.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:call_init\n"
           "leak:quill::kernel::ModuleFileNameOf\n";
}
