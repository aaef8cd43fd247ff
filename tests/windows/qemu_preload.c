// SPDX-License-Identifier: MIT
// Preloaded into 32-bit wine when the windows stage runs it under qemu-i386,
// on a kernel that runs no 32-bit programs itself. It gives wine three things:
//  - Debian 12's qemu 7.2 does not know MAP_FIXED_NOREPLACE, which wine's
//    address space reservations ask for: the flag becomes a plain hint, and a
//    mapping the system put elsewhere is undone and refused with EEXIST, as
//    the flag promises.
//  - Wine starts every process by executing its loader, and the kernel would
//    refuse the 32-bit one: a 32-bit program is started through qemu-i386,
//    with this library preloaded in it again.
//  - Once a process has told the wine server that it ends, the server kills
//    it if it still runs a second later, and qemu's own way out can take
//    longer on a busy machine: a process ends at once by becoming
//    `sh -c 'exit N'` (of 20 parallel runs, 13 were killed before, none after).
// No program started from here inherits LD_PRELOAD: it names a 32-bit
// library, which 64-bit programs (qemu, wine64, wineserver) would refuse
// with a complaint on their standard error.
//
// Built by scripts/stages/windows.sh with QEMU_I386 defined as qemu-i386's path.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

static char* preload_self;

__attribute__((constructor)) static void TakePreload(void) {
  const char* preload = getenv("LD_PRELOAD");
  if (preload != NULL) preload_self = strdup(preload);
  unsetenv("LD_PRELOAD");
}

void* mmap64(void* address, size_t length, int protection, int flags, int fd, off64_t offset) {
  static void* (*real)(void*, size_t, int, int, int, off64_t);
  if (real == NULL) real = (void* (*)(void*, size_t, int, int, int, off64_t))dlsym(RTLD_NEXT, "mmap64");
  if (!(flags & MAP_FIXED_NOREPLACE)) return real(address, length, protection, flags, fd, offset);
  void* placed = real(address, length, protection, flags & ~MAP_FIXED_NOREPLACE, fd, offset);
  if (placed != MAP_FAILED && placed != address) {
    munmap(placed, length);
    errno = EEXIST;
    return MAP_FAILED;
  }
  return placed;
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
  return mmap64(address, length, protection, flags, fd, offset);
}

// Whether `path` is a 32-bit x86 ELF program.
static int IsI386(const char* path) {
  unsigned char header[20];
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  ssize_t got = read(fd, header, sizeof header);
  close(fd);
  return got == (ssize_t)sizeof header && memcmp(header, "\177ELF\1", 5) == 0 && header[18] == 3 && header[19] == 0;
}

typedef int (*Execve)(const char*, char* const[], char* const[]);

static Execve RealExecve(void) {
  static Execve real;
  if (real == NULL) real = (Execve)dlsym(RTLD_NEXT, "execve");
  return real;
}

int execve(const char* path, char* const argv[], char* const envp[]) {
  Execve real = RealExecve();
  if (preload_self == NULL || !IsI386(path)) return real(path, argv, envp);
  size_t count = 0;
  while (argv[count] != NULL) ++count;
  // qemu-i386 -E LD_PRELOAD=... -0 ARGV0 PATH ARGS..., then the end.
  char** words = calloc(count + 7, sizeof *words);
  char* preload = malloc(strlen("LD_PRELOAD=") + strlen(preload_self) + 1);
  if (words == NULL || preload == NULL) {
    errno = ENOMEM;
    return -1;
  }
  strcpy(stpcpy(preload, "LD_PRELOAD="), preload_self);
  size_t n = 0;
  words[n++] = (char*)QEMU_I386;
  words[n++] = (char*)"-E";
  words[n++] = preload;
  words[n++] = (char*)"-0";
  words[n++] = count > 0 ? argv[0] : (char*)path;
  words[n++] = (char*)path;
  for (size_t i = 1; i < count; ++i) words[n++] = argv[i];
  words[n] = NULL;
  return real(QEMU_I386, words, envp);
}

int execv(const char* path, char* const argv[]) { return execve(path, argv, environ); }

int execvp(const char* file, char* const argv[]) {
  if (strchr(file, '/') != NULL) return execve(file, argv, environ);
  static int (*real)(const char*, char* const[]);
  if (real == NULL) real = (int (*)(const char*, char* const[]))dlsym(RTLD_NEXT, "execvp");
  return real(file, argv);
}

// Only the first thread to end the process chooses its status; any other
// waits for the exec to end it.
static void EndProcess(int status) {
  static int ending;
  if (__atomic_exchange_n(&ending, 1, __ATOMIC_SEQ_CST)) {
    for (;;) pause();
  }
  char command[16];
  snprintf(command, sizeof command, "exit %d", status & 0xff);
  char* const words[] = {(char*)"sh", (char*)"-c", command, NULL};
  fflush(NULL);
  RealExecve()("/bin/sh", words, environ);
  ((void (*)(int))dlsym(RTLD_NEXT, "_exit"))(status);
}

void exit(int status) {
  EndProcess(status);
  __builtin_unreachable();
}

void _exit(int status) {
  EndProcess(status);
  __builtin_unreachable();
}
