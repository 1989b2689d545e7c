#include "application.h"

int main(int argc, char *argv[])
{
    return qm5083::window::runBench(argc, argv);
}
