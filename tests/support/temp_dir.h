#pragma once

#include <string>

namespace zelt::test {

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Whole-file helpers for assertions.
std::string readAll(const std::string& path);
void writeAll(const std::string& path, const std::string& content);

}  // namespace zelt::test
