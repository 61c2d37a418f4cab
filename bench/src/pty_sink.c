/* The printer of the throughput benchmark: a pty whose far end reads
 * everything, as fast as it can or at a line rate. Prints the slave's path
 * (a link outside /dev) and runs until killed.
 * usage: pty_sink LINK_PATH [BYTES_PER_SECOND]   (0 or none: no limit) */
#define _GNU_SOURCE
#include <pty.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static char link_path[256];

static void on_term(int sig) {
  (void)sig;
  unlink(link_path);
  _exit(0);
}

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: pty_sink LINK_PATH [BYTES_PER_SECOND]\n");
    return 2;
  }
  long rate = argc == 3 ? atol(argv[2]) : 0;
  int master, slave;
  if (openpty(&master, &slave, NULL, NULL, NULL) != 0) {
    perror("openpty");
    return 1;
  }
  snprintf(link_path, sizeof link_path, "%s", argv[1]);
  unlink(link_path);
  if (symlink(ttyname(slave), link_path) != 0) {
    perror("symlink");
    return 1;
  }
  signal(SIGTERM, on_term);
  signal(SIGINT, on_term);
  printf("%s\n", link_path);
  fflush(stdout);
  static char buf[65536];
  if (rate <= 0) {
    for (;;) {
      if (read(master, buf, sizeof buf) < 0) usleep(1000);
    }
  }
  /* A line rate: every 10 ms, take what the wire carries in 10 ms. */
  size_t per_tick = (size_t)(rate / 100 > 0 ? rate / 100 : 1);
  struct timespec next;
  clock_gettime(CLOCK_MONOTONIC, &next);
  for (;;) {
    next.tv_nsec += 10000000L;
    if (next.tv_nsec >= 1000000000L) {
      next.tv_nsec -= 1000000000L;
      next.tv_sec++;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL);
    size_t want = per_tick < sizeof buf ? per_tick : sizeof buf;
    if (read(master, buf, want) < 0) continue;
  }
}
