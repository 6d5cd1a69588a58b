#include "TamrelVersion.h"  // generated in the build folder: TAMREL_VERSION, TAMREL_COMMIT
#include "ui/shell/About.h"
#include "ui/shell/TamrelApp.h"

int main(int argc, char** argv) {
    return tamrel::runTamrel(argc, argv,
                             {QStringLiteral(TAMREL_VERSION), QStringLiteral(TAMREL_COMMIT)});
}
