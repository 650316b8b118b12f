#include "Cli.h"

#include <iostream>

int main(int argc, char** argv)
{
    return kestrova::services::runCli({argv + 1, argv + argc}, std::cout, std::cerr, std::cin);
}
