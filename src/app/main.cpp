// Planfolio's entry point. Arguments are ignored (see Launch).

#include "Launch.h"

int main(int argc, char** argv)
{
    return Launch::run(argc, argv);
}
