// orvsim: an ORV instrument or a GPS receiver on a pseudo-terminal, linked where the port
// pattern says the port lives, for trying and testing OrvControl without hardware.

#include "SimCommand.h"

int main(int argc, char** argv)
{
    return orv::cmdline::Run("orvsim", "Simulators for OrvControl.", argc, argv);
}
