// sockthread-echo: talks to a line echo peer through libpalaverly-sockthread.
// Usage: sockthread-echo HOST PORT [LINE...]   (default lines: "hello" and "palaverly")

#include "CEchoClient.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s HOST PORT [LINE...]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> lines(argv + 3, argv + argc);
    if (lines.empty())
        lines = {"hello", "palaverly"};

    // The worker exists from here on, suspended; Start() lets it run the body.
    CEchoClient client(argv[1], std::atoi(argv[2]), lines);
    if (client.Connect() != 0) {
        std::fprintf(stderr, "cannot connect to %s port %s\n", argv[1], argv[2]);
        return 1;
    }
    client.Start();
    client.WaitForBody();
    const int status = client.LastStatus();
    std::printf("status: %d\n", status);
    return status == static_cast<int>(lines.size()) ? 0 : 1;
}
