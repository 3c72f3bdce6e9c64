// orblenz: star cluster member list to star catalogue.
//   orblenz <base> <prefix> <RA> <Dec> <Distance>
// reads <base>.txt, writes <base>.stc and prints the report.

#include "driver.h"
#include "textio.h"

int main(int argc, char** argv) {
    std_fds_open();
    keep_args(argc, argv);
    signals_install();
    conversion_run();
}
