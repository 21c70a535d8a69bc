// The library entry point of Brevanto.dll. The process-wide objects (the
// output stream, the composer's texts) are constructed by the C++ runtime
// before this runs and destroyed after the detach; the library starts no
// threads, so it needs no per-thread notifications.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
