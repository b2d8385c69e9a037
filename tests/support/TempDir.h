// A private temporary directory, removed with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

class TempDir
{
public:
    TempDir() : m_path((std::filesystem::temp_directory_path() / "qwd-test-XXXXXX").string())
    {
        if (::mkdtemp(m_path.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Writes `bytes` to the file `name` in the directory; returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        if (!(std::ofstream(File(name), std::ios::binary) << bytes))
            throw std::runtime_error("cannot write " + File(name));
        return File(name);
    }

private:
    std::string m_path;
};

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
