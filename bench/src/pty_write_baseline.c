/* The plain C loop the serial library is measured against: write a chunk,
 * tcdrain, repeat, on the same kind of pty, same chunk size. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: pty_write_baseline PATH TOTAL_BYTES CHUNK\n");
    return 2;
  }
  long total = atol(argv[2]), chunk = atol(argv[3]);
  int fd = open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    perror("open");
    return 1;
  }
  struct termios t;
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  char* buf = malloc((size_t)chunk);
  for (long i = 0; i < chunk; i++) buf[i] = (char)(0x20 + i % 90);
  struct timespec a, b;
  clock_gettime(CLOCK_MONOTONIC, &a);
  long sent = 0;
  while (sent < total) {
    long left = chunk;
    while (left > 0) {
      ssize_t n = write(fd, buf + (chunk - left), (size_t)left);
      if (n < 0 && errno == EAGAIN) {
        struct pollfd p = {fd, POLLOUT, 0};
        poll(&p, 1, 100);
        continue;
      }
      if (n < 0) {
        perror("write");
        return 1;
      }
      left -= n;
      tcdrain(fd);
    }
    sent += chunk;
  }
  clock_gettime(CLOCK_MONOTONIC, &b);
  double s = (double)(b.tv_sec - a.tv_sec) + (double)(b.tv_nsec - a.tv_nsec) / 1e9;
  printf("%.1f\n", (double)sent / s / 1e6);
  free(buf);
  close(fd);
  return 0;
}
