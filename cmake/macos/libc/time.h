/* What the library uses of <time.h>: the monotonic clock (macOS 10.12 and
   later) and nanosleep, with the types and values libSystem has. */
#ifndef _TIME_H_
#define _TIME_H_

#ifdef __cplusplus
extern "C" {
#endif

typedef long __darwin_time_t;
typedef __darwin_time_t time_t;

struct timespec {
  __darwin_time_t tv_sec;
  long tv_nsec;
};

typedef enum {
  _CLOCK_REALTIME = 0,
  _CLOCK_MONOTONIC = 6,
  _CLOCK_MONOTONIC_RAW = 4,
  _CLOCK_MONOTONIC_RAW_APPROX = 5,
  _CLOCK_UPTIME_RAW = 8,
  _CLOCK_UPTIME_RAW_APPROX = 9,
  _CLOCK_PROCESS_CPUTIME_ID = 12,
  _CLOCK_THREAD_CPUTIME_ID = 16
} clockid_t;

#define CLOCK_REALTIME _CLOCK_REALTIME
#define CLOCK_MONOTONIC _CLOCK_MONOTONIC

int clock_gettime(clockid_t clock_id, struct timespec* tp);
int nanosleep(const struct timespec* rqtp, struct timespec* rmtp);

#ifdef __cplusplus
}
#endif

#endif
