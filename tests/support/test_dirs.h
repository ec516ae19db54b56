#pragma once
// A private scratch folder for one test, removed with everything in it.
#include <cstdlib>
#include <string>
#include <vector>

struct TestDir {
    std::string path;  // with a trailing '/'
    TestDir();
    ~TestDir();
    TestDir(const TestDir&) = delete;
    TestDir& operator=(const TestDir&) = delete;
    // The names of the files left in the folder (not recursive, sorted).
    std::vector<std::string> Files() const;
};
