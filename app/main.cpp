#include "startup.h"

int main(int argc, char *argv[])
{
    return kv::runProgram(argc, argv);
}
