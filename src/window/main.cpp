#include "program.h"
#include "run_window.h"

int main(int argc, char *argv[])
{
    return qm5083::commands::runProgram(argc, argv, qm5083::window::windowRunner());
}
