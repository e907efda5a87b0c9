// Entry point of the launcher.

#include "app/CLauncherApp.h"

int main()
{
    CLauncherApp app;
    return app.Run();
}
