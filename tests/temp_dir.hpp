// A fresh directory for one test, made current while the test runs and removed after.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace lotrix::testing {

class TempDir {
  public:
    TempDir() : previous_(std::filesystem::current_path()) {
        std::random_device entropy;
        do {
            path_ =
                std::filesystem::temp_directory_path() / ("lotrix-" + std::to_string(entropy()));
        } while (!std::filesystem::create_directory(path_));
        std::filesystem::current_path(path_);
    }
    ~TempDir() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace lotrix::testing
