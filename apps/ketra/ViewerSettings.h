// What `ketra view` remembers between runs, in the settings store (platform/sys/Registry.h)
// under the product key's subkey "Viewer": the recent files ("Recent File 1" ...), the main
// window's size and position ("Window Geometry") and its docks and tool bar ("Window State"),
// the last two as Qt's own binary blobs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ketra::app {

// Most recently opened first, no duplicates, at most kMaxRecentFiles.
class RecentFiles {
public:
    static constexpr std::size_t kMaxRecentFiles = 4;

    explicit RecentFiles(std::vector<std::string> paths = {});
    // Puts `path` first (moving it when listed).
    void Add(const std::string& path);
    void Remove(const std::string& path);
    const std::vector<std::string>& Paths() const { return m_paths; }

private:
    std::vector<std::string> m_paths;
};

class ViewerSettings {
public:
    // The key under HKEY_CURRENT_USER.
    static std::wstring KeyPath();

    static RecentFiles LoadRecentFiles();
    // Writes the list (slots past its end are deleted). False when the store refused.
    static bool SaveRecentFiles(const RecentFiles& files);

    // A binary value; empty when missing or not binary.
    static std::vector<unsigned char> LoadBlob(const wchar_t* name);
    static bool SaveBlob(const wchar_t* name, const std::vector<unsigned char>& data);

    static constexpr const wchar_t* kGeometry = L"Window Geometry";
    static constexpr const wchar_t* kState = L"Window State";
};

} // namespace ketra::app
