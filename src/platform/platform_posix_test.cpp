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
#include <vector>

#include "platform/memory.h"

namespace platform {
namespace {

constexpr int kPresent = 0, kAbsent = 1, kNoFilters = 2;

// Makes madvise() refuse the huge page and the request to make pages present,
// as a kernel without either does; false where system call filters are not
// available (qemu-user has none).
bool RefuseMemoryAdvice() {
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
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// In a child process, where the buffer is still untouched: whether every page
// of it is present once the first call returns, with the advice refused.
int PresenceWithAdviceRefused() {
  if (!RefuseMemoryAdvice()) return kNoFilters;
  std::uint8_t* const data = TransferBuffer();
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> present((kTransferBufferSize + page - 1) / page);
  if (::mincore(data, kTransferBufferSize, present.data()) != 0) return kAbsent;
  for (unsigned char flags : present) {
    if ((flags & 1) == 0) return kAbsent;
  }
  return kPresent;
}

TEST(TransferBufferTest, PagesArePresentAfterTheFirstCallWhereTheAdviceIsRefused) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(PresenceWithAdviceRefused());
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kNoFilters) GTEST_SKIP() << "no system call filters here, so no advice can be refused";
  EXPECT_EQ(WEXITSTATUS(status), kPresent);
}

}  // namespace
}  // namespace platform
