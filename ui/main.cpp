#include "ui/shell/TamrelApp.h"

int main(int argc, char** argv) {
    return tamrel::runTamrel(argc, argv);
}
