// Files for tests: a new empty folder of a test's own (in the system's folder for
// temporary files; under Wine, the prefix's), removed with all it holds when the test
// ends, and whole files read and written as bytes.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

inline std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class TempFolder {
public:
    TempFolder()
    {
        // Tests run in parallel processes: a name is ours only once we made the folder.
        std::random_device random;
        std::error_code error;
        do {
            path = std::filesystem::temp_directory_path() / ("oskan-test-" + std::to_string(random() % 1000000000u));
        } while (!std::filesystem::create_directory(path, error) && !error);
    }
    ~TempFolder()
    {
        // A file dialog makes the folder of the chosen file the current one, which Windows
        // does not let us remove.
        std::error_code error;
        std::filesystem::current_path(path.parent_path(), error);
        std::filesystem::remove_all(path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The names of the files and folders in it, sorted.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The path of name inside it, as the program's own path strings hold it.
    std::string operator/(const std::string& name) const { return (path / name).string(); }

    std::filesystem::path path;
};
