// The program's entry point: one Application for the life of the process. The command line is
// ignored.
#include <windows.h>

#include "app/application.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    kalendo::Application application;
    return application.Run(instance, showCommand);
}
