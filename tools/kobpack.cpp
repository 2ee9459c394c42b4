// kobpack: packs WAVE files into a KOB file (see tools/kobenc/KobpackCli.h for the options).
#include "tools/kobenc/KobpackCli.h"

#include <iostream>

int main(int argc, char** argv) {
    return kobenc::RunKobpack(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
