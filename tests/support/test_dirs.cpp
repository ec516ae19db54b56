#include "test_dirs.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

TestDir::TestDir() {
    std::string base = std::filesystem::temp_directory_path().string() + "/movarel-test-XXXXXX";
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path = std::string(buf.data()) + "/";
}

TestDir::~TestDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::vector<std::string> TestDir::Files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
