// The entry point of the DLL HUXAdapterApi. Loading and unloading do
// nothing and succeed: no thread is started, Winsock is not started and
// nothing is loaded until the application calls the interface (the runtime
// still builds the library's static objects, none of which starts a thread
// or calls Winsock).
#include <winsock2.h>
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
