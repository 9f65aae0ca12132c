// The engine's entry point. The start-up sequence grows here as the subsystems land.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return 0;
}
