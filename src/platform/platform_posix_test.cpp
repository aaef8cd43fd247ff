// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "platform/memory.h"

namespace platform {
namespace {

// Run in a child, where the buffer is still untouched: makes madvise() refuse
// the huge page and the request to make pages present, as a kernel without
// either does, then exits 0 when every page of the buffer is present after the
// first call, 1 when one is not, and 2 where system call filters are not
// available (qemu-user has none).
[[noreturn]] void CheckPresenceWithAdviceRefused() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_madvise, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, MADV_HUGEPAGE, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, MADV_POPULATE_WRITE, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL),
  };
  sock_fprog program{sizeof filter / sizeof filter[0], filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
    ::_exit(2);
  }
  unsigned char present[kTransferBufferSize / 4096];
  const auto pages = kTransferBufferSize / static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  if (::mincore(TransferBuffer(), kTransferBufferSize, present) != 0) ::_exit(1);
  for (std::size_t page = 0; page < pages; ++page) {
    if ((present[page] & 1) == 0) ::_exit(1);
  }
  ::_exit(0);
}

TEST(TransferBufferTest, PagesArePresentAfterTheFirstCallWhereTheAdviceIsRefused) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) CheckPresenceWithAdviceRefused();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "no system call filters here, so no advice can be refused";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a page of the buffer is not present";
}

}  // namespace
}  // namespace platform
