/* The printer of the peer benchmark: a pty whose far end reads everything
 * as fast as it can and sends a byte on request. Links the slave at
 * LINK_PATH, prints that path, then answers commands on stdin:
 *   b   send one byte; prints the CLOCK_MONOTONIC nanoseconds of the write
 *   t N NS  send N bytes, one every NS nanoseconds, as a UART puts a reply
 *       on the line; prints the nanoseconds of the last byte's write and
 *       how far the latest byte fell behind its time
 *   n   prints the bytes read since the last n
 * usage: pty_printer LINK_PATH */
#define _GNU_SOURCE
#include <pthread.h>
#include <pty.h>
#include <sched.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static int master;
static atomic_long received;

static long long now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

/* Byte k leaves at start + k * interval, however late the one before was. */
static long long trickle(long count, long long interval, long long* lag) {
  long long start = now_ns(), last = start;
  *lag = 0;
  for (long k = 0; k < count; k++) {
    long long due = start + k * interval;
    struct timespec at = {(time_t)(due / 1000000000LL), (long)(due % 1000000000LL)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, NULL) != 0) {
    }
    last = now_ns();
    if (last - due > *lag) *lag = last - due;
    if (write(master, "A", 1) != 1) perror("write");
  }
  return last;
}

static void* drain(void* unused) {
  (void)unused;
  static char buf[65536];
  for (;;) {
    ssize_t got = read(master, buf, sizeof buf);
    if (got > 0) {
      atomic_fetch_add(&received, got);
    } else {
      usleep(1000);
    }
  }
  return NULL;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: pty_printer LINK_PATH\n");
    return 2;
  }
  int slave;
  if (openpty(&master, &slave, NULL, NULL, NULL) != 0) {
    perror("openpty");
    return 1;
  }
  /* The slave stays open here too: the master reads EIO while none is. */
  unlink(argv[1]);
  if (symlink(ttyname(slave), argv[1]) != 0) {
    perror("symlink");
    return 1;
  }
  /* Byte times at 38400 baud are 260 us: sleeps end when they are due. */
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  pthread_t reader;
  pthread_create(&reader, NULL, drain, NULL);
  /* A UART keeps its pace whatever the CPUs do: the sending thread runs
   * ahead of other work where it may (root); elsewhere the lag shows it. */
  struct sched_param fifo = {.sched_priority = 10};
  sched_setscheduler(0, SCHED_FIFO, &fifo);
  printf("%s\n", argv[1]);
  fflush(stdout);
  char line[64];
  while (fgets(line, sizeof line, stdin) != NULL) {
    if (line[0] == 'b') {
      long long t = now_ns();
      if (write(master, "A", 1) != 1) perror("write");
      printf("%lld\n", t);
    } else if (line[0] == 't') {
      char* end;
      long count = strtol(line + 1, &end, 10);
      long long lag;
      long long last = trickle(count, strtoll(end, NULL, 10), &lag);
      printf("%lld %lld\n", last, lag);
    } else if (line[0] == 'n') {
      printf("%ld\n", atomic_exchange(&received, 0));
    }
    fflush(stdout);
  }
  unlink(argv[1]);
  return 0;
}
