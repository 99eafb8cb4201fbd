/* Preloaded in sanitizer runs only: keeps every shared library mapped until
 * the process ends, so that leak reports from the graphics stack (which SDL
 * unloads at shutdown) still name their library and the suppressions for
 * Mesa, X11 and SDL can match them. */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
