#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

// The embedded database engine keeps character converters of its own until the process
// ends; they are not leaks of the code under test.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfbclient.so\n";
}

// The platform tests need no application object: the few that exercise the event loop
// create their own. The embedded database engine gets a lock folder of this process
// alone, so that no other Firebird user on the machine shares its lock tables.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::string lock = (std::filesystem::temp_directory_path() / "orvalis-fblock-XXXXXX").string();
    const bool haveLock = mkdtemp(lock.data()) != nullptr;
    if (haveLock) setenv("FIREBIRD_LOCK", lock.c_str(), 1);
    const int result = RUN_ALL_TESTS();
    if (haveLock) {
        std::error_code ignored;
        std::filesystem::remove_all(lock, ignored);
    }
    return result;
}
