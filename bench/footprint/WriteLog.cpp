// Writes a connection log of N records spread over the 20 days up to now, as the footprint run's
// recording half needs: hourlink_write_log FILE N
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchLog.h"
#include "platform/SystemClock.h"

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILE RECORDS\n", argv[0]);
        return 2;
    }
    const long long count = std::atoll(argv[2]);
    if (count <= 0) {
        std::fprintf(stderr, "RECORDS must be a positive number\n");
        return 2;
    }
    // Ends a minute ago, so the program's own first record comes after the last one here.
    const hourlink::DateTime end = hourlink::SystemClock().Now() - 60.0 / 86400.0;
    hourlink::bench::WriteFlappingLog(argv[1], count, end);
    return 0;
}
