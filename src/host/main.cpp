#include "host/CommandLoop.h"

int main() {
    return RunHost();
}
