/* The plain C loop the serial library is measured against: the calls the
 * library makes for _sendData without flow control (non-blocking write,
 * tcdrain after each, and a wait for room when a write is refused).
 * Prints MB/s and the number of waits for room.
 * usage: pty_write_baseline PATH TOTAL_BYTES CHUNK */
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
  long sent = 0, waits = 0;
  while (sent < total) {
    long done = 0;
    while (done < chunk) {
      ssize_t n = write(fd, buf + done, (size_t)(chunk - done));
      if (n < 0 && errno == EAGAIN) {
        struct pollfd room = {fd, POLLOUT, 0};
        poll(&room, 1, -1);
        waits++;
        continue;
      }
      if (n < 0) {
        perror("write");
        return 1;
      }
      done += n;
      tcdrain(fd);
    }
    sent += chunk;
  }
  clock_gettime(CLOCK_MONOTONIC, &b);
  double s = (double)(b.tv_sec - a.tv_sec) + (double)(b.tv_nsec - a.tv_nsec) / 1e9;
  printf("%.4f %ld\n", (double)sent / s / 1e6, waits);
  free(buf);
  close(fd);
  return 0;
}
