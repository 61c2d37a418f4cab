/* The plain C loop the serial library is measured against: the calls the
 * library makes for _sendData without flow control (non-blocking write,
 * tcdrain after each), and the rule its caller follows: a refused write
 * fails the whole chunk, which is sent again from its start after
 * RETRY_WAIT_US (the time the line needs to carry a chunk; 0 for none).
 * Prints MB/s and the number of refused writes.
 * usage: pty_write_baseline PATH TOTAL_BYTES CHUNK [RETRY_WAIT_US] */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    fprintf(stderr, "usage: pty_write_baseline PATH TOTAL_BYTES CHUNK [RETRY_WAIT_US]\n");
    return 2;
  }
  long total = atol(argv[2]), chunk = atol(argv[3]);
  long retry_wait_us = argc == 5 ? atol(argv[4]) : 0;
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
  long sent = 0, refused = 0;
  while (sent < total) {
    long done = 0;
    while (done < chunk) {
      ssize_t n = write(fd, buf + done, (size_t)(chunk - done));
      if (n < 0 && errno == EAGAIN) break;
      if (n < 0) {
        perror("write");
        return 1;
      }
      done += n;
      tcdrain(fd);
    }
    if (done < chunk) {
      refused++;
      if (retry_wait_us > 0) usleep((useconds_t)retry_wait_us);
      continue;
    }
    sent += chunk;
  }
  clock_gettime(CLOCK_MONOTONIC, &b);
  double s = (double)(b.tv_sec - a.tv_sec) + (double)(b.tv_nsec - a.tv_nsec) / 1e9;
  printf("%.4f %ld\n", (double)sent / s / 1e6, refused);
  free(buf);
  close(fd);
  return 0;
}
