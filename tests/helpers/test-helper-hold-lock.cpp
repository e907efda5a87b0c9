// Takes the instance lock named by its argument, prints "held" and keeps it until stdin closes
// or the process is killed. Prints "busy" and exits 1 when someone else holds it, exits 2 on any
// other failure.

#include "platform/sync/InstanceLock.h"
#include "platform/text/Text.h"

#include <cstdio>

#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: test-helper-hold-lock NAME\n");
        return 2;
    }
    bool bAlreadyHeld = false;
    std::unique_ptr<platform::InstanceLock> lock =
        platform::InstanceLock::Acquire(platform::FromUtf8(argv[1]), bAlreadyHeld);
    if (!lock) {
        std::printf(bAlreadyHeld ? "busy\n" : "error\n");
        return bAlreadyHeld ? 1 : 2;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char buf[256];
    while (read(0, buf, sizeof buf) > 0) {
    }
    return 0;
}
