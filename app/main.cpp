#include "Program.h"

int main(int argc, char** argv) {
    return morvex::runMorvex(argc, argv);
}
