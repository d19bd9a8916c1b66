#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "process_fixture.h"
#include "runtime/metadir.h"
#include "runtime/paths/metadir_paths.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "runtime/switch_values.h"
#include "test_build/fault_switch.h"

namespace {
TEST(MetadirPaths, DefaultDependsOnUserAndRuntimeDir) {
    struct Case {
        uid_t uid;
        const char* xdg;
        const char* expected;
    } cases[] = {
        {0, "/run/user/0", "/run/vexa/tv.conf"},  // root ignores XDG
        {1000, "/run/user/1000", "/run/user/1000/vexa/tv.conf"},
        {1000, nullptr, "/tmp/vexa-1000/tv.conf"},
        {1000, "", "/tmp/vexa-1000/tv.conf"},
        {1000, "relative/dir", "/tmp/vexa-1000/tv.conf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, vexa_default_metadir("tv.conf", c.uid, c.xdg)) << c.uid;
    EXPECT_EQ("/run/vexa/tv.conf/control.sock", vexa_default_socket("/run/vexa/tv.conf"));
}

TEST(MetadirPaths, ConfigNameIsTheLastComponent) {
    struct Case {
        const char* path;
        const char* name;
    } cases[] = {
        {"/etc/vexa/tv.conf", "tv.conf"},
        {"tv.conf", "tv.conf"},
        {"", ""},
        {"/etc/vexa/", ""},
        {"/etc/..", ""},
        {".", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.name, vexa_config_name(c.path)) << c.path;
}

class DerivedParams : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_process_side();
        config_ = dir_ / "missing.conf";  // never created: the lock files must not need it
        vexa_file = config_.c_str();
        meta_ = dir_ / "meta";
        vexa_meta_switch = meta_.c_str();
    }
    void TearDown() override { reset_process_side(); }

    TempDir dir_;
    std::string config_, meta_, sock_;
};

TEST_F(DerivedParams, ChosenMetadirAndDefaultSocket) {
    ASSERT_EQ(0, vexa_standard_to_derived_params());
    ASSERT_NE(nullptr, vexa_file_metadir);
    EXPECT_EQ(meta_, vexa_file_metadir);
    EXPECT_EQ(meta_ + "/control.sock", std::string(vexa_sock));
    EXPECT_EQ(meta_, output_media_item_metadir);
    EXPECT_EQ(meta_ + "/control.sock", output_media_item_socket_path);
    struct stat st;
    ASSERT_EQ(0, stat(meta_.c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 0777);
    // Nothing is opened or bound before the instance is opened.
    EXPECT_NE(0, access((meta_ + "/control.sock").c_str(), F_OK));
}

TEST_F(DerivedParams, ChosenSocket) {
    sock_ = dir_ / "s";
    vexa_sock_switch = sock_.c_str();
    ASSERT_EQ(0, vexa_standard_to_derived_params());
    EXPECT_EQ(sock_, vexa_sock);
}

TEST_F(DerivedParams, FailuresLeaveTheirGlobalNull) {
    // An empty configuration path gives nothing to name the directory after.
    vexa_file = "";
    EXPECT_NE(0, vexa_standard_to_derived_params());

    // A metadata directory under a regular file cannot be made.
    vexa_file = config_.c_str();
    write_file(dir_ / "plain", "x");
    meta_ = dir_ / "plain/meta";
    vexa_meta_switch = meta_.c_str();
    EXPECT_EQ(0, vexa_standard_to_derived_params());
    EXPECT_EQ(nullptr, vexa_file_metadir);

    // A socket path that does not fit sun_path.
    meta_ = dir_ / "meta";
    vexa_meta_switch = meta_.c_str();
    sock_ = dir_ / std::string(120, 's');
    vexa_sock_switch = sock_.c_str();
    EXPECT_EQ(0, vexa_standard_to_derived_params());
    EXPECT_NE(nullptr, vexa_file_metadir);
    EXPECT_EQ(nullptr, vexa_sock);
}

TEST_F(DerivedParams, InstanceFilesAreValidWithoutTheConfigurationFile) {
    ASSERT_EQ(0, vexa_standard_to_derived_params());
    vexa_open_instance();
    ASSERT_NE(nullptr, vexa_meta);
    ASSERT_NE(nullptr, vexa_metadata);
    EXPECT_GE(vexa_meta->file_fd, 0);
    EXPECT_GE(vexa_meta->instance_fd, 0);
    EXPECT_NE(-1, fcntl(vexa_meta->file_fd, F_GETFD));
    EXPECT_EQ(0, metadata_v4_metadata_close_file(vexa_metadata));
    EXPECT_NE(std::string::npos, read_file(meta_ + "/metadata").find("pid="));
    ASSERT_NE(nullptr, vexa_sock);
    EXPECT_EQ(0, access(vexa_sock, F_OK));
}

TEST_F(DerivedParams, LockFaultGivesADescriptorFlockRefuses) {
    vexa_fault_add("lockfd");
    ASSERT_EQ(0, vexa_standard_to_derived_params());
    vexa_open_instance();
    ASSERT_NE(nullptr, vexa_meta);
    EXPECT_GE(vexa_meta->file_fd, 0);
    EXPECT_NE(0, flock(vexa_meta->file_fd, LOCK_EX));
    EXPECT_NE(0, flock(vexa_meta->file_fd, LOCK_UN));
}

TEST_F(DerivedParams, UnopenableInstanceFilesGiveNoObject) {
    struct Case {
        const char* blocked;  // made a directory so it cannot be opened as a file
        bool meta, metadata;
    } cases[] = {{"lock", false, false}, {"metadata", true, false}};
    for (const auto& c : cases) {
        reset_process_side();
        TempDir dir;
        const std::string meta = dir / "meta";
        vexa_file = config_.c_str();
        vexa_meta_switch = meta.c_str();
        ASSERT_EQ(0, vexa_standard_to_derived_params());
        ASSERT_EQ(0, mkdir((meta + "/" + c.blocked).c_str(), 0700));
        vexa_open_instance();
        EXPECT_EQ(c.meta, vexa_meta != nullptr) << c.blocked;
        EXPECT_EQ(c.metadata, vexa_metadata != nullptr) << c.blocked;
        // A run that cannot start leaves no socket behind.
        EXPECT_NE(0, access((meta + "/control.sock").c_str(), F_OK)) << c.blocked;
    }
}

TEST_F(DerivedParams, LogRedirectNeedsAWritableLogFile) {
    ASSERT_EQ(0, vexa_standard_to_derived_params());
    ASSERT_EQ(0, mkdir((meta_ + "/log").c_str(), 0700));
    EXPECT_NE(0, vexa_redirect_stderr_to_logfile());
}
}  // namespace

namespace {
TEST(Metadir, SharedPlacesMustBePrivateToTheUser) {
    struct Case {
        mode_t parent_mode;
        bool other_owner;  // parent chowned to another uid (root only)
        bool ok;
    } cases[] = {{0700, false, true},
                 {0755, false, true},
                 {0777, false, false},
                 {0770, false, false},
                 {0700, true, false}};
    for (const auto& c : cases) {
        if (c.other_owner && geteuid() != 0) continue;
        TempDir dir;
        const std::string parent = dir / "vexa-1000";
        ASSERT_EQ(0, mkdir(parent.c_str(), 0700));
        ASSERT_EQ(0, chmod(parent.c_str(), c.parent_mode));
        if (c.other_owner) {
            ASSERT_EQ(0, chown(parent.c_str(), 65534, 65534));
        }
        std::string reason;
        EXPECT_EQ(c.ok ? 0 : -1, vexa_make_metadir(parent + "/tv.conf", geteuid(), &reason))
            << std::oct << c.parent_mode << " " << reason;
    }
    // A symbolic link planted in place of the directory is refused too.
    TempDir dir;
    ASSERT_EQ(0, symlink(dir.path().c_str(), (dir / "link").c_str()));
    std::string reason;
    EXPECT_NE(0, vexa_make_metadir(dir / "link/tv.conf", geteuid(), &reason));
}
}  // namespace
