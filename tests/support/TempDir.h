#pragma once

// A fresh folder under the system's temporary folder, removed with its content.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace test {

class TTempDir {
  public:
    TTempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "snaprill-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    std::string Path(const std::string& Name) const { return path_ + "/" + Name; }
    const std::string& Root() const { return path_; }
    // Names in the folder, hidden ones included.
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path_)) {
            out.push_back(e.path().filename().string());
        }
        return out;
    }

  private:
    std::string path_;
};

inline std::vector<uint8_t> ReadAll(const std::string& Path) {
    std::ifstream f(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string& Path, const std::vector<uint8_t>& Data) {
    std::ofstream f(Path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

}  // namespace test
