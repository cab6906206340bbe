// Valdrynix Plim 1.0. setup. Takes no command line (arguments are ignored); everything is simulated.
#include "app/run.h"

int main(int argc, char* argv[])
{
    (void)argc;
    return vp::run(argv[0]);
}
