// zelt: the ZELT client on the command line (zelt --help tells the rest).
#include "client/cli/cli.h"

int main(int argc, char** argv) {
    return zelt::cli::zeltMain(argc, argv);
}
