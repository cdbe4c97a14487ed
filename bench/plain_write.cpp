// The yardstick of bench_whole_runs: a process that writes files of given sizes with plain 1 MiB
// write() calls and does nothing else. Usage: plain_write FILE BYTES [FILE BYTES]...
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  static char block[kBlock];
  std::memset(block, ' ', kBlock);  // memory a writer has filled, as a real one has
  for (int i = 1; i + 1 < argc; i += 2) {
    unsigned long long left = std::strtoull(argv[i + 1], nullptr, 10);
    const int fd = ::open(argv[i], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      std::perror(argv[i]);
      return 1;
    }
    while (left > 0) {
      const std::size_t n = left < kBlock ? static_cast<std::size_t>(left) : kBlock;
      const ssize_t written = ::write(fd, block, n);
      if (written <= 0) {
        std::perror(argv[i]);
        return 1;
      }
      left -= static_cast<unsigned long long>(written);
    }
    if (::close(fd) != 0) {
      std::perror(argv[i]);
      return 1;
    }
  }
  return 0;
}
