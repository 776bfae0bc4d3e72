#include "ViewerSettings.h"

#include "config/CAppSettings.h"
#include "platform/sys/Registry.h"
#include "platform/sys/TextEncoding.h"

#include <algorithm>

namespace ketra::app {
namespace {

using namespace ketra::sys;

std::wstring RecentName(std::size_t index) {
    return L"Recent File " + std::to_wstring(index + 1);
}

// An open handle on the viewer's key, closed on scope exit.
class Key {
public:
    explicit Key(bool create) {
        const std::wstring path = ViewerSettings::KeyPath();
        const LONG status =
            create ? RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &m_key, nullptr)
                   : RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &m_key);
        if (status != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~Key() {
        if (m_key)
            RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

} // namespace

RecentFiles::RecentFiles(std::vector<std::string> paths) {
    // Added oldest first so that the given order (newest first) stays.
    for (auto it = paths.rbegin(); it != paths.rend(); ++it)
        if (!it->empty())
            Add(*it);
}

void RecentFiles::Add(const std::string& path) {
    Remove(path);
    m_paths.insert(m_paths.begin(), path);
    if (m_paths.size() > kMaxRecentFiles)
        m_paths.resize(kMaxRecentFiles);
}

void RecentFiles::Remove(const std::string& path) {
    m_paths.erase(std::remove(m_paths.begin(), m_paths.end(), path), m_paths.end());
}

std::wstring ViewerSettings::KeyPath() {
    return CAppSettings::ProductKeyPath() + L"\\Viewer";
}

RecentFiles ViewerSettings::LoadRecentFiles() {
    Key key(false);
    std::vector<std::string> paths;
    if (!key.Get())
        return RecentFiles();
    for (std::size_t i = 0; i < RecentFiles::kMaxRecentFiles; ++i) {
        std::wstring text;
        if (RegQueryString(key.Get(), RecentName(i).c_str(), &text) == ERROR_SUCCESS)
            paths.push_back(ToUtf8(text));
    }
    return RecentFiles(paths);
}

bool ViewerSettings::SaveRecentFiles(const RecentFiles& files) {
    RegistryTransaction transaction;
    Key key(true);
    if (!key.Get())
        return false;
    const std::vector<std::string>& paths = files.Paths();
    for (std::size_t i = 0; i < RecentFiles::kMaxRecentFiles; ++i) {
        const std::wstring name = RecentName(i);
        if (i < paths.size()) {
            if (RegSetString(key.Get(), name.c_str(), FromUtf8(paths[i])) != ERROR_SUCCESS)
                return false;
        } else {
            RegDeleteValue(key.Get(), name.c_str());
        }
    }
    return transaction.Commit() == ERROR_SUCCESS;
}

std::vector<unsigned char> ViewerSettings::LoadBlob(const wchar_t* name) {
    Key key(false);
    if (!key.Get())
        return {};
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueEx(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return {};
    std::vector<unsigned char> data(size);
    if (size > 0 &&
        RegQueryValueEx(key.Get(), name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return {};
    data.resize(size);
    return data;
}

bool ViewerSettings::SaveBlob(const wchar_t* name, const std::vector<unsigned char>& data) {
    Key key(true);
    if (!key.Get())
        return false;
    return RegSetValueEx(key.Get(), name, 0, REG_BINARY, data.data(),
                         static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

} // namespace ketra::app
