// SPDX-License-Identifier: Apache-2.0
// Runs the real binary as a user would; each case waits out the program's own pause, so they
// stay few and ctest runs them side by side. Output details are checked in-process.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"
#include "platform/platform.h"
#include "support/builders.h"
#include "support/programTexts.h"

extern char** environ;

namespace strixa {

namespace {

struct ProgramRun {
  std::string output;
  int exitCode = -1;
  double seconds = 0;
};

// Starts the binary with arguments; stdout is a pipe, or closed at once when closeOutput.
ProgramRun RunBinary(const std::vector<std::string>& arguments, bool closeOutput = false) {
  int pipeFds[2];
  EXPECT_EQ(::pipe(pipeFds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

  std::vector<std::string> argv = {STRIXA_BINARY};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> raw;
  for (std::string& a : argv) {
    raw.push_back(a.data());
  }
  raw.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, STRIXA_BINARY, &actions, nullptr, raw.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);

  ProgramRun run;
  if (closeOutput) {
    ::close(pipeFds[0]);
  } else {
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
      run.output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("strixa-" + std::to_string(::getpid()) + "-" + name))
      .string();
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

int ThisYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

TEST(PlatformPosixTest, NoParameterPrintsTheBannerAndWaits) {
  const ProgramRun run = RunBinary({});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_GE(run.seconds, 2.5);
  EXPECT_EQ(run.output, BannerBytes(ThisYear()));
  EXPECT_EQ(run.output.find("\033"), std::string::npos) << "no title sequence into a pipe";
}

TEST(PlatformPosixTest, TextFileGivesTheCannotOpenMessageNamingIt) {
  const std::string path = TempPath("notes.txt");
  WriteFile(path, {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
  const ProgramRun run = RunBinary({"/P", path});
  std::filesystem::remove(path);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_GE(run.seconds, 2.0);
  EXPECT_NE(run.output.find("\r\nError: can not open input file:\r\n" + path + "\r\n"),
            std::string::npos)
      << run.output;
}

TEST(PlatformPosixTest, GoodBlankBitmapPrintsNothing) {
  const std::string path = TempPath("blank.bmp");
  WriteFile(path, MakeBmp(MakeBlankImage(64, 48)));
  const ProgramRun run = RunBinary({path});
  std::filesystem::remove(path);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_GE(run.seconds, 2.0);
  EXPECT_EQ(run.output, "");
}

TEST(PlatformPosixTest, TellsNonEmptyFilesFromEverythingElse) {
  const std::string folder = TempPath("files");
  std::filesystem::create_directories(folder);
  WriteFile(folder + "/data.bmp", {'B', 'M', 1});
  WriteFile(folder + "/empty.bmp", {});
  std::filesystem::create_directory(folder + "/sub.bmp");
  ASSERT_EQ(::mkfifo((folder + "/fifo.bmp").c_str(), 0600), 0);
  const std::unique_ptr<Platform> platform = MakeSystemPlatform(0, nullptr);
  const struct {
    std::string name;
    bool expected;
  } cases[] = {
      {"data.bmp", true},  {"empty.bmp", false},   {"sub.bmp", false},
      {"fifo.bmp", false}, {"missing.bmp", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform->IsNonEmptyFile(folder + "/" + c.name), c.expected);
  }
  std::filesystem::remove_all(folder);
}

// A FIFO swapped in after the file test must not stall the load waiting for a writer.
TEST(PlatformPosixTest, LoadingAFifoFailsAtOnce) {
  const std::string fifo = TempPath("fifo.bmp");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::unique_ptr<Platform> platform = MakeSystemPlatform(0, nullptr);
  auto load = std::async(std::launch::async, [&] {
    Image image;
    return LoadImageFile(*platform, fifo, image);
  });
  const bool finished = load.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  if (!finished) {
    // Free the stuck open so the test can end.
    ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
  }
  EXPECT_TRUE(finished);
  EXPECT_FALSE(load.get());
  std::filesystem::remove(fifo);
}

TEST(PlatformPosixTest, ClosedOutputStillEndsWithExitCodeZero) {
  const ProgramRun run = RunBinary({"/F", "/P"}, true);
  EXPECT_EQ(run.exitCode, 0);
}

// Whoever starts the program may hand it a non-blocking pipe; a slow reader must still get every
// byte, as from a blocking one.
TEST(PlatformPosixTest, NonBlockingOutputLosesNothing) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096);
  ASSERT_EQ(::fcntl(pipeFds[1], F_SETFL, O_NONBLOCK), 0);
  std::string received;
  std::thread reader([&received, readEnd = pipeFds[0]] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(readEnd, buffer, sizeof buffer)) > 0) {
      received.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(readEnd);
  });

  std::fflush(stdout);
  const int savedOutput = ::dup(STDOUT_FILENO);
  ::dup2(pipeFds[1], STDOUT_FILENO);
  ::close(pipeFds[1]);
  std::string expected;
  {
    const std::unique_ptr<Platform> platform = MakeSystemPlatform(0, nullptr);
    for (int i = 0; i < 2000; ++i) {
      const std::string line =
          "EAN13\t" + std::to_string(4006381333931 + i) + " line " + std::to_string(i) + " of 2000";
      platform->WriteLine(line);
      expected += line + "\r\n";
    }
  }
  // Putting the real output back closes the pipe's last write end, so the reader sees the end.
  ::dup2(savedOutput, STDOUT_FILENO);
  ::close(savedOutput);
  reader.join();
  EXPECT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected);
}

}  // namespace

}  // namespace strixa
