// orblenz: star cluster member list to star catalogue.
//   orblenz [--table] <base> <prefix> <RA> <Dec> <Distance>
// reads <base>.txt, writes <base>.stc and prints the report;
//   orblenz --check [--table] <base>
// reports the lines of <base>.txt the conversion would read otherwise than meant.

#include "check.h"
#include "driver.h"
#include "textio.h"

#include <cstdlib>

int main(int argc, char** argv) {
    std_fds_open();
    Settings settings = parse_command_line(argc, argv);
    signals_install();
    if (settings.check) {
        BaseName base;
        get_base(base);
        std::exit(check_list(base, settings.table, settings.faithful, settings.binaries));
    }
    conversion_run(settings);
}
