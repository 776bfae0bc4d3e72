// The plot-properties file: loading, caching, atomic rewriting and the set-up calls.
#include "config/HOpConfig.h"

#include "config/CAppSettings.h"
#include "platform/sys/AtomicFile.h"
#include "platform/sys/Shell.h"
#include "platform/sys/TextEncoding.h"

#include <pugixml.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr const char* kRoot = "PlotProperties";
constexpr const char* kBannerStars =
    "********************************************************************";
constexpr const char* kBannerBlank =
    "******                                                         *****";
constexpr const char* kBannerTitle =
    "******           Created by the VELM Graphics Engine           *****";

// The element styles that ResetAll removes, in the order it removes them.
constexpr const char* kResetEntries[] = {"Background",
                                         "GenericPipe",
                                         "GenericBend",
                                         "GenericRestraint",
                                         "RestraintCN",
                                         "GenericAnchor",
                                         "AnchorCN",
                                         "GenericHanger",
                                         "HangerCN",
                                         "GenericExpansionJoint",
                                         "GenericRigid",
                                         "GenericStructuralSteel",
                                         "GenericTee",
                                         "NodeText",
                                         "Annotations",
                                         "Markers",
                                         "Transparency",
                                         "LegendText",
                                         "SectionID",
                                         "MaterialID",
                                         "Flange",
                                         "GenericNozzleLimit1",
                                         "GenericNozzleLimit2",
                                         "OutputText",
                                         "DisplacedLine",
                                         "Cutting Plane Grid",
                                         "Cylinder",
                                         "Ellipse",
                                         "Torisphere",
                                         "Sphere",
                                         "Leg",
                                         "Liquid",
                                         "Insulation",
                                         "Lining",
                                         "Basering",
                                         "Hillside Nozzle",
                                         "Platform",
                                         "Packing",
                                         "Saddle",
                                         "Tray",
                                         "Lug",
                                         "Cone",
                                         "Welded Flat",
                                         "Body Flange",
                                         "Bar Rings",
                                         "Structural Ring",
                                         "Nozzle",
                                         "Skirt",
                                         "Dimensions",
                                         "Description",
                                         "Weights",
                                         "Forces",
                                         "Moments",
                                         "PipeLeg",
                                         "StructuralLeg"};

// What identifies one version of the file on disk: every write renames a new inode into
// place, and an in-place edit changes size or mtime.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size,
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

constexpr long long kRacyWindowNs = 2000000000LL;
// A plot-properties file holds tens of entries; anything this large is not one.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

// Line number of a byte offset, for error messages.
int LineOf(const std::string& bytes, std::ptrdiff_t offset) {
    int line = 1;
    for (std::ptrdiff_t i = 0; i < offset && i < static_cast<std::ptrdiff_t>(bytes.size()); ++i)
        if (bytes[static_cast<size_t>(i)] == '\n')
            ++line;
    return line;
}

pugi::xml_node FindEntry(pugi::xml_node root, const char* section, const char* name) {
    // Child iteration instead of an XPath built from names: names may hold quotes.
    for (pugi::xml_node node = root.child(section); node; node = node.next_sibling(section))
        if (std::strcmp(node.attribute("name").value(), name) == 0)
            return node;
    return {};
}

} // namespace

struct HOpConfig::Impl {
    enum class State { None, Missing, Unreadable, Malformed, NoRoot, Ok };

    pugi::xml_document doc;
    std::string path;  // narrow path the cache belongs to
    Identity identity; // of the file the cache was parsed from
    State state = State::None;
    std::string problem;            // why the file is not usable, for the report
    std::set<std::string> reported; // messages shown since the file was last usable
    std::uint64_t parseCount = 0;
    // File times have a coarse granularity (a clock tick, seconds on some file systems):
    // a same-size rewrite in place within that time keeps the identity. Until the file's
    // time is safely in the past the cache is not trusted and each access re-reads it.
    bool racy = true;

    static bool IsRacy(const Identity& id) {
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const long long nowNs = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
        return nowNs - id.mtimeNs < kRacyWindowNs;
    }

    // The last entry found, since one getter usually reads several values of one entry.
    // Cleared whenever the document changes.
    std::string lastSection, lastName;
    pugi::xml_node lastEntry;
    // The path in the file system's encoding, for the wide name it was made from.
    std::wstring widePath;
    std::string narrowPath;
    // Inside a Snapshot the file is checked once, so one getter sees one version of it.
    int snapshotDepth = 0;
    bool snapshotFresh = false;
    // Inside a ReadOnly, missing values are not recorded in the file.
    int readOnlyDepth = 0;

    pugi::xml_node Root() { return doc.child(kRoot); }

    const std::string& PathFor(const std::wstring& file) {
        if (file != widePath) {
            widePath = file;
            narrowPath = ketra::sys::ToUtf8(file);
        }
        return narrowPath;
    }

    pugi::xml_node Lookup(const char* section, const char* name) {
        if (lastEntry && lastSection == section && lastName == name)
            return lastEntry;
        lastEntry = FindEntry(Root(), section, name);
        lastSection = section;
        lastName = name;
        return lastEntry;
    }

    // Checks the file unless this snapshot already did.
    void RefreshForRead(const std::string& file) {
        if (snapshotDepth > 0 && snapshotFresh && state != State::None)
            return;
        Refresh(file);
        snapshotFresh = snapshotDepth > 0;
    }

    // Brings the cache up to date with the file on disk. Reads through one descriptor so
    // the identity matches the bytes parsed even when another process replaces the file.
    void Refresh(const std::string& file) {
        struct stat st {};
        if (state != State::None && state != State::Missing && !racy && path == file &&
            ::stat(file.c_str(), &st) == 0 && IdentityOf(st) == identity)
            return;
        path = file;
        doc.reset();
        lastEntry = {};
        problem.clear();
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            identity = {};
            state = err == ENOENT ? State::Missing : State::Unreadable;
            problem = std::strerror(err);
            return;
        }
        std::string bytes;
        bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxFileSize;
        if (ok) {
            identity = IdentityOf(st);
            racy = IsRacy(identity);
            bytes.resize(static_cast<size_t>(st.st_size));
            size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                done += static_cast<size_t>(n);
            }
            bytes.resize(done);
        } else {
            problem = S_ISREG(st.st_mode) ? "larger than 16 MiB" : "not a regular file";
        }
        ::close(fd);
        if (!ok) {
            state = State::Unreadable;
            return;
        }
        ++parseCount;
        const pugi::xml_parse_result parsed =
            doc.load_buffer(bytes.data(), bytes.size(),
                            pugi::parse_default | pugi::parse_declaration | pugi::parse_comments);
        if (!parsed) {
            doc.reset();
            state = State::Malformed;
            problem = std::string(parsed.description()) + " at line " +
                      std::to_string(LineOf(bytes, parsed.offset));
            return;
        }
        state = Root() ? State::Ok : State::NoRoot;
        if (state == State::Ok)
            reported.clear();
        if (state == State::NoRoot)
            problem = "no PlotProperties root element";
    }

    void Invalidate() {
        state = State::None;
        lastEntry = {};
    }

    // After this object wrote `file` (under the lock) the parsed document is the file's
    // content: keep it and take the new identity instead of parsing it again.
    void Adopt(const std::string& file) {
        struct stat st {};
        lastEntry = {};
        if (::stat(file.c_str(), &st) == 0) {
            path = file;
            identity = IdentityOf(st);
            racy = IsRacy(identity);
            state = Root() ? State::Ok : State::NoRoot;
        } else {
            state = State::None;
        }
    }

    // Writes the document; false (and the reason in `error`) when the file was not written.
    // Called with the file's lock held, so temporaries that writers killed before their
    // rename left behind can go.
    bool Save(const std::string& file, std::string* error) {
        ketra::sys::RemoveStaleTemporaries(file);
        if (!ketra::sys::WriteFileAtomically(file, Serialize(), error)) {
            Invalidate();
            return false;
        }
        Adopt(file);
        return true;
    }

    std::string Serialize() {
        struct Writer : pugi::xml_writer {
            std::string out;
            void write(const void* data, size_t size) override {
                out.append(static_cast<const char*>(data), size);
            }
        } writer;
        doc.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
        return std::move(writer.out);
    }
};

// ---- construction -------------------------------------------------------------------------

HOpConfig::HOpConfig() : m_impl(std::make_unique<Impl>()) {
    // pugixml needs no start-up, so the "XML Parser is unavailable" report cannot arise.
    std::string cwd(4096, '\0');
    if (::getcwd(cwd.data(), cwd.size()))
        cwd.resize(std::strlen(cwd.c_str()));
    else
        cwd.clear();
    m_configFile = ketra::sys::FromUtf8(cwd + "/default.xml");
}

HOpConfig::HOpConfig(const wchar_t* file) : m_impl(std::make_unique<Impl>()) {
    if (file)
        m_configFile = file;
}

HOpConfig::HOpConfig(const HOpConfig& other)
    : m_configFile(other.m_configFile), m_result(other.m_result),
      m_defaultColors(other.m_defaultColors), m_impl(std::make_unique<Impl>()),
      m_configType(other.m_configType), m_fileSet(other.m_fileSet) {}

HOpConfig& HOpConfig::operator=(const HOpConfig& other) {
    if (this != &other) {
        m_configFile = other.m_configFile;
        m_result = other.m_result;
        m_defaultColors = other.m_defaultColors;
        m_impl->Invalidate(); // may name another file now
        m_impl->reported.clear();
        m_configType = other.m_configType;
        m_fileSet = other.m_fileSet;
    }
    return *this;
}

HOpConfig::~HOpConfig() = default;

std::uint64_t HOpConfig::GetParseCount() const {
    return m_impl->parseCount;
}

HOpConfig::Snapshot::Snapshot(HOpConfig& config) : m_config(config) {
    if (m_config.m_impl->snapshotDepth++ == 0)
        m_config.m_impl->snapshotFresh = false;
}

HOpConfig::Snapshot::~Snapshot() {
    --m_config.m_impl->snapshotDepth;
}

HOpConfig::ReadOnly::ReadOnly(HOpConfig& config) : m_config(config) {
    ++m_config.m_impl->readOnlyDepth;
}

HOpConfig::ReadOnly::~ReadOnly() {
    --m_config.m_impl->readOnlyDepth;
}

bool HOpConfig::HasFile() const {
    return m_fileSet && !m_configFile.empty();
}

const char* HOpConfig::Result(std::string text) {
    m_result = std::move(text);
    return m_result.c_str();
}

void HOpConfig::Report(const std::string& message) {
    // Once per file state: a broken file would otherwise raise a box on every access.
    if (!m_impl->reported.insert(message).second)
        return;
    ketra::sys::GetShell().MessageBox(message, "Plot Properties", ketra::sys::Shell::Icon::Warning,
                                      ketra::sys::Shell::Buttons::Ok);
}

void HOpConfig::ReportUnlocked(const std::string& path, const ketra::sys::FileLock& lock) {
    // Writing without the lock could undo another program's change to the file.
    Report("Settings cannot be saved: the plot properties file \"" + path + "\" cannot be locked (" +
           lock.Error() + "). The file is left as it is.");
}

// ---- set-up ---------------------------------------------------------------------------------

void HOpConfig::SetConfigFile(const wchar_t* file) {
    m_configFile = file ? file : L"";
    m_impl->Invalidate();
    m_impl->reported.clear();
    m_fileSet = !m_configFile.empty();
    if (!m_fileSet)
        return;
    const std::string path = ketra::sys::ToUtf8(m_configFile);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            CreateNewConfig();
        else
            Report("Cannot use the plot properties file \"" + path + "\": " + std::strerror(errno) +
                   ". Default settings are used.");
    } else if (S_ISREG(st.st_mode) && st.st_size == 0) {
        CreateNewConfig();
    }
}

const wchar_t* HOpConfig::GetConfigFile() const {
    return m_configFile.c_str();
}

void HOpConfig::SetConfigType(ConfigType type) {
    m_configType = type;
    if (type == ConfigMarlow) {
        CAppSettings::PackageName = L"Marlow";
        CAppSettings::Version = L"2009";
    }
}

void HOpConfig::CreateNewConfig() {
    const std::string path = ketra::sys::ToUtf8(m_configFile);
    std::string error;
    ketra::sys::FileLock lock(path, ketra::sys::FileLock::Mode::Exclusive);
    if (!lock.IsLocked()) {
        ReportUnlocked(path, lock);
        return;
    }
    // Re-checked under the lock: another process may have created the file meanwhile.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !(S_ISREG(st.st_mode) && st.st_size == 0))
        return;
    pugi::xml_document& doc = m_impl->doc;
    doc.reset();
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    for (const char* line : {kBannerStars, kBannerStars, kBannerBlank, kBannerTitle, kBannerBlank,
                             kBannerStars, kBannerStars})
        doc.append_child(pugi::node_comment).set_value(line);
    doc.append_child(kRoot);
    if (!m_impl->Save(path, &error))
        Report("Cannot create the plot properties file \"" + path + "\": " + error);
}

wchar_t* HOpConfig::GetDirectory(wchar_t* out) {
    const std::wstring dir = GetDirectory();
    std::wcsncpy(out, dir.c_str(), 4095);
    out[4095] = L'\0';
    return out;
}

std::wstring HOpConfig::GetDirectory() {
    std::string exe(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size() - 1);
    if (n <= 0)
        return {};
    exe.resize(static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    exe.resize(slash == std::string::npos ? 0 : slash);
    return ketra::sys::FromUtf8(exe);
}

void HOpConfig::DetermineConfigFileName() {
    const char* env = std::getenv("KETRA_SYSTEM_DIR");
    const std::string systemDir = env && *env ? env : "/etc/ketra";
    const std::string shared = systemDir + "/Mrl3DColors.xml";
    struct stat st {};
    if (::stat(shared.c_str(), &st) == 0) {
        m_configFile = ketra::sys::FromUtf8(shared);
        return;
    }
    const std::string bundled = ketra::sys::ToUtf8(GetDirectory()) + "/system/Mrl3DColors.xml";
    if (::stat(bundled.c_str(), &st) != 0) {
        m_configFile.clear();
        return;
    }
    std::string bytes, error;
    if (ketra::sys::ReadFile(bundled, &bytes, &error)) {
        ketra::sys::FileLock lock(shared, ketra::sys::FileLock::Mode::Exclusive);
        if (lock.IsLocked() && ketra::sys::WriteFileAtomically(shared, bytes, &error))
            m_configFile = ketra::sys::FromUtf8(shared);
    }
}

void HOpConfig::ResetAll() {
    if (m_configType == ConfigMarlow) {
        CAppSettings::ResetSettings();
        return;
    }
    if (HasFile()) {
        const std::string path = ketra::sys::ToUtf8(m_configFile);
        ketra::sys::FileLock lock(path, ketra::sys::FileLock::Mode::Exclusive);
        m_impl->Refresh(path);
        if (!lock.IsLocked()) {
            ReportUnlocked(path, lock);
        } else if (m_impl->state == Impl::State::Ok) {
            // One load, every removal in memory, one atomic write: a crash cannot leave a
            // half-reset file.
            pugi::xml_node root = m_impl->Root();
            for (const char* name : kResetEntries)
                while (pugi::xml_node entry = FindEntry(root, "Element", name))
                    root.remove_child(entry);
            std::string error;
            if (!m_impl->Save(path, &error))
                Report("Cannot write the plot properties file \"" + path + "\": " + error);
        } else {
            Report("The plot properties file \"" + path + "\" was not reset: " + m_impl->problem +
                   ". The file is left as it is.");
        }
    }
    ketra::sys::GetShell().Beep();
}

// ---- attribute access -----------------------------------------------------------------------

const char* HOpConfig::GetAttribute(const char* section, const char* name, const char* attribute,
                                    const char* def) {
    return Result(Attr(section, name, attribute, def ? def : ""));
}

std::string HOpConfig::Attr(const char* section, const char* name, const char* attribute,
                            const std::string& def) {
    if (!HasFile())
        return def;
    Impl& impl = *m_impl;
    const std::string path = impl.PathFor(m_configFile);
    impl.RefreshForRead(path);
    if (impl.state == Impl::State::Ok) {
        if (pugi::xml_node entry = impl.Lookup(section, name))
            if (pugi::xml_attribute value = entry.attribute(attribute))
                return value.value();
    } else {
        if (impl.state == Impl::State::Malformed || impl.state == Impl::State::Unreadable)
            Report("The plot properties file \"" + path + "\" cannot be read (" + impl.problem +
                   "). Default settings are used and the file is left as it is.");
        return def;
    }

    if (impl.readOnlyDepth > 0)
        return def;
    // The value is missing: record the default so the file lists every value in use. Done
    // under the lock, on a fresh look at the file, so a concurrent writer is not undone.
    // A file made read-only keeps its content: plain reads do not rewrite it.
    if (ketra::sys::IsReadOnlyFile(path))
        return def;
    ketra::sys::FileLock lock(path, ketra::sys::FileLock::Mode::Exclusive);
    if (!lock.IsLocked()) {
        ReportUnlocked(path, lock);
        return def;
    }
    impl.Refresh(path);
    if (impl.state != Impl::State::Ok)
        return def;
    pugi::xml_node root = impl.Root();
    pugi::xml_node entry = FindEntry(root, section, name);
    if (!entry) {
        entry = root.append_child(section);
        entry.append_attribute("name") = name;
    }
    if (pugi::xml_attribute value = entry.attribute(attribute))
        return value.value(); // written by another process meanwhile
    entry.append_attribute(attribute) = def.c_str();
    std::string error;
    if (!impl.Save(path, &error))
        Report("Cannot write the plot properties file \"" + path + "\": " + error);
    return def;
}

void HOpConfig::SetAttribute(const char* section, const char* name, const char* attribute,
                             const std::string& value) {
    SetAttributes(section, name, {{attribute, value}});
}

void HOpConfig::SetAttributes(const char* section, const char* name,
                              std::initializer_list<std::pair<const char*, std::string>> values) {
    if (!HasFile())
        return;
    const std::string path = ketra::sys::ToUtf8(m_configFile);
    Impl& impl = *m_impl;
    ketra::sys::FileLock lock(path, ketra::sys::FileLock::Mode::Exclusive);
    if (!lock.IsLocked()) {
        ReportUnlocked(path, lock);
        return;
    }
    impl.Refresh(path);
    if (impl.state != Impl::State::Ok) {
        Report("Settings cannot be saved: the plot properties file \"" + path + "\" " +
               (impl.state == Impl::State::Missing ? std::string("does not exist")
                                                   : "cannot be used (" + impl.problem + ")") +
               ". The file is left as it is.");
        return;
    }
    pugi::xml_node root = impl.Root();
    pugi::xml_node entry = FindEntry(root, section, name);
    if (!entry) {
        entry = root.append_child(section);
        entry.append_attribute("name") = name;
    }
    for (const auto& [attribute, value] : values) {
        pugi::xml_attribute a = entry.attribute(attribute);
        if (!a)
            a = entry.append_attribute(attribute);
        a.set_value(value.c_str());
    }
    std::string error;
    if (!impl.Save(path, &error))
        Report("Cannot write the plot properties file \"" + path + "\": " + error);
}
