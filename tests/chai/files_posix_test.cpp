// Devices and pipes are no script files: they fail at once instead of being read for ever (a
// device) or never (a pipe nobody writes to).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "chai/chaiscript.hpp"

namespace {
std::string refusal(chai::ChaiScript& e, const std::string& path) {
    try {
        e.eval_file(path);
    } catch (const chai::exception::file_not_found_error& err) {
        return err.what();
    }
    return "read";
}
}  // namespace

TEST(chai_files, OnlyRegularFilesAreScripts) {
    chai::ChaiScript e;
    EXPECT_EQ("Not a regular file: /dev/zero", refusal(e, "/dev/zero"));
    const std::string fifo = ::testing::TempDir() + "chai_fifo";
    std::remove(fifo.c_str());
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    EXPECT_EQ("Not a regular file: " + fifo, refusal(e, fifo));
    // Scripts see the same, as an error they can catch.
    EXPECT_EQ("Not a regular file: " + fifo,
              e.eval<std::string>("try { use(\"" + fifo + "\"); \"read\" } catch (e) { e.what() }"));
    std::remove(fifo.c_str());
}
