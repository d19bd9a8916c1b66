// The kernel seam on ordinary files: what it can show without root or a framebuffer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/device_seam.h"

namespace platform {
namespace {

TEST(KernelSeam, IsInForceUnlessReplaced) { EXPECT_EQ(&seam(), &kernel_seam()); }

TEST(KernelSeam, ListsLinksReadsAndMapsFiles) {
    DeviceSeam& kernel = kernel_seam();
    std::string dir = ::testing::TempDir() + "seam" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    std::string file = dir + "/name";
    std::string link = dir + "/device";
    FILE* out = std::fopen(file.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs("i915drmfb\n", out);
    std::fclose(out);
    ASSERT_EQ(symlink("../../../0000:00:02.0", link.c_str()), 0);

    void* listing = kernel.opendir(dir.c_str());
    ASSERT_NE(listing, nullptr);
    std::vector<std::string> names;
    while (const char* name = kernel.readdir(listing)) names.push_back(name);
    EXPECT_EQ(kernel.closedir(listing), 0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "device", "name"}));

    char buffer[64];
    ssize_t length = kernel.readlink(link.c_str(), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, length > 0 ? length : 0), "../../../0000:00:02.0");
    length = kernel.read_file(file.c_str(), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, length > 0 ? length : 0), "i915drmfb\n");

    int fd = kernel.open(file.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    auto* mapped = static_cast<char*>(kernel.map_shared(fd, 10));
    ASSERT_NE(mapped, nullptr);
    EXPECT_EQ(std::memcmp(mapped, "i915drmfb\n", 10), 0);
    EXPECT_EQ(kernel.unmap(mapped, 10), 0);
    EXPECT_EQ(kernel.close(fd), 0);

    errno = 0;
    EXPECT_EQ(kernel.open((dir + "/missing").c_str(), O_RDWR), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(kernel.opendir((dir + "/missing").c_str()), nullptr);
    EXPECT_EQ(kernel.read_file((dir + "/missing").c_str(), buffer, sizeof buffer), -1);
    EXPECT_EQ(kernel.map_shared(-1, 10), nullptr);

    unlink(link.c_str());
    unlink(file.c_str());
    rmdir(dir.c_str());
}

}  // namespace
}  // namespace platform
