#include "host/CommandLine.h"
#include "host/CommandLoop.h"

int main(int argc, char* argv[]) {
    if (const std::optional<int> exitCode = AnswerCommandLine(argc, argv)) {
        return *exitCode;
    }
    return RunHost();
}
