// The load entry of the Windows library, apart from the exports: <windows.h>
// declares DllGetClassObject and DllCanUnloadNow with its own types.
#include <windows.h>

// Nothing to set up or tear down: the library keeps no state that the
// loader must see to.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
