#include "private_runtime_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace qm5083::testing {

void PrivateRuntimeDir::OnTestStart(const ::testing::TestInfo &)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/qm5083-test.XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::fprintf(stderr, "cannot make a runtime folder for the test: %s\n", pattern.c_str());
        std::abort();
    }
    dir_ = pattern;
    ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    // The results each check stores go there too, never into the user's own database.
    ::setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
}

void PrivateRuntimeDir::OnTestEnd(const ::testing::TestInfo &)
{
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    dir_.clear();
}

void PrivateRuntimeDir::install()
{
    ::testing::UnitTest::GetInstance()->listeners().Append(new PrivateRuntimeDir);
}

} // namespace qm5083::testing
