// SPDX-License-Identifier: Apache-2.0
#include <cerrno>
#include <chrono>
#include <ctime>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "image/image.h"
#include "platform/bitmap.h"
#include "platform/platform.h"

namespace strixa {

namespace {

// Writes all of text to fd; a closed or broken output is ignored so the run goes on. An output
// left non-blocking by whoever started us is full, not gone: wait until it takes more.
void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd output{fd, POLLOUT, 0};
      if (::poll(&output, 1, -1) < 0 && errno != EINTR) {
        return;
      }
      continue;
    }
    if (written <= 0) {
      return;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

class PosixPlatform final : public Platform {
 public:
  PosixPlatform(int argc, char** argv) : arguments_(argv + (argc > 0 ? 1 : 0), argv + argc) {
    // A reader that goes away must not end the run: writes just fail from then on.
    ::signal(SIGPIPE, SIG_IGN);
  }

  std::vector<std::string> Arguments() override { return arguments_; }

  bool IsNonEmptyFile(const std::string& path) override {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
  }

  bool DecodeBitmap(const std::string& path, Image& image) override {
    return ReadBmpFile(path, image) == BmpRefusal::None;
  }

  void WriteLine(std::string_view text) override {
    std::string line(text);
    line += "\r\n";
    WriteAll(STDOUT_FILENO, line);
  }

  void SetTitle(std::string_view title) override {
    if (::isatty(STDOUT_FILENO)) {
      WriteAll(STDOUT_FILENO, "\033]0;" + std::string(title) + "\007");
    }
  }

  void Sleep(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }

  int CurrentYear() override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) {
      return 1970;
    }
    return local.tm_year + 1900;
  }

 private:
  std::vector<std::string> arguments_;
};

}  // namespace

std::unique_ptr<Platform> MakeSystemPlatform(int argc, char** argv) {
  return std::make_unique<PosixPlatform>(argc, argv);
}

}  // namespace strixa
