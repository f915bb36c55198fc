// The program's entry point: hands over to the framework's start-up.
#include "CWinApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int /*nCmdShow*/)
{
    return AfxWinMain(hInstance);
}
