/* A pty whose far end reads everything as fast as it can: the printer of
 * the throughput benchmark. Prints the slave's path (a link outside /dev)
 * and runs until killed. */
#define _GNU_SOURCE
#include <pty.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static char link_path[256];

static void on_term(int sig) {
  (void)sig;
  unlink(link_path);
  _exit(0);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: pty_sink LINK_PATH\n");
    return 2;
  }
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
  for (;;) {
    if (read(master, buf, sizeof buf) < 0) usleep(1000);
  }
}
