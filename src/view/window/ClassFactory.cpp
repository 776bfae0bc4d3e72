#include "view/window/ClassFactory.h"

#include "platform/sys/Registry.h"
#include "platform/sys/TextEncoding.h"
#include "view/window/CHoopsShell.h"
#include "view/window/CHoopsViewEx.h"

#include <map>

namespace {

struct Factories {
    std::map<std::string, ketra::view::ClassFactory> byName;
    long alive = 0;
};

template <class T>
ketra::view::ClassFactory MakeFactory()
{
    return {[] { return static_cast<void*>(new T()); },
            [](void* object) { delete static_cast<T*>(object); }};
}

Factories& TheFactories()
{
    static Factories factories = [] {
        Factories f;
        f.byName["CHoopsViewEx"] = MakeFactory<CHoopsViewEx>();
        f.byName["CHoopsFrameSdi"] = MakeFactory<CHoopsFrameSdi>();
        f.byName["CHoopsChildWnd"] = MakeFactory<CHoopsChildWnd>();
        f.byName["CHoopsOleDoc"] = MakeFactory<CHoopsOleDoc>();
        return f;
    }();
    return factories;
}

} // namespace

namespace ketra::view {

void RegisterClassFactory(const std::string& name, ClassFactory factory)
{
    if (!name.empty() && factory.create && factory.destroy)
        TheFactories().byName[name] = std::move(factory);
}

std::vector<std::string> ClassFactoryNames()
{
    std::vector<std::string> names;
    for (const auto& entry : TheFactories().byName)
        names.push_back(entry.first);
    return names;
}

} // namespace ketra::view

extern "C" long DllGetClassObject(const char* className, void** object)
{
    if (!className || !object)
        return KETRA_E_POINTER;
    *object = nullptr;
    Factories& factories = TheFactories();
    const auto it = factories.byName.find(className);
    if (it == factories.byName.end())
        return KETRA_CLASS_E_CLASSNOTAVAILABLE;
    *object = it->second.create();
    if (!*object)
        return KETRA_CLASS_E_CLASSNOTAVAILABLE;
    ++factories.alive;
    return KETRA_S_OK;
}

extern "C" long DllReleaseClassObject(const char* className, void* object)
{
    if (!className || !object)
        return KETRA_E_POINTER;
    Factories& factories = TheFactories();
    const auto it = factories.byName.find(className);
    if (it == factories.byName.end())
        return KETRA_CLASS_E_CLASSNOTAVAILABLE;
    it->second.destroy(object);
    if (factories.alive > 0)
        --factories.alive;
    return KETRA_S_OK;
}

extern "C" long DllCanUnloadNow(void)
{
    return TheFactories().alive == 0 ? KETRA_S_OK : KETRA_S_FALSE;
}

extern "C" long DllRegisterServer(void)
{
    using namespace ketra::sys;
    const std::wstring library =
        FromUtf8(CHOOPS_KETRAApp::ComponentFolder() + CHOOPS_KETRAApp::ComponentFileName());
    RegistryTransaction transaction;
    for (const std::string& name : ketra::view::ClassFactoryNames()) {
        const std::wstring keyName = L"Software\\Classes\\Ketra." + FromUtf8(name);
        HKEY key = nullptr;
        if (RegCreateKeyEx(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, &key, nullptr) != ERROR_SUCCESS)
            return KETRA_E_POINTER;
        RegSetString(key, nullptr, library);
        RegCloseKey(key);
    }
    return transaction.Commit() == ERROR_SUCCESS ? KETRA_S_OK : KETRA_S_FALSE;
}
