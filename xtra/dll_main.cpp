// The load entry of the Windows DLL, apart from the exports (see
// library_entry_points.cpp for why).
#include <windows.h>

// Nothing to set up or tear down per process or thread.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
