#include <iostream>

#include "cli/Commands.h"

int main(int argc, char** argv) {
    const tavrel::cli::Args args(argv, argv + argc);
    return tavrel::cli::RunTool(args, std::cout, std::cerr);
}
