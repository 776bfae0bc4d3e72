// Class-factory entry points: a host that loads the component creates its window, frame and
// document classes by name. Each name maps to a factory; objects made here are counted until
// the host gives them back with DllReleaseClassObject, so DllCanUnloadNow can say whether the
// library is still in use.
//
//   void* object = nullptr;
//   if (DllGetClassObject("CHoopsViewEx", &object) == 0) {
//       auto* window = static_cast<CHoopsViewEx*>(object);
//       ...
//       DllReleaseClassObject("CHoopsViewEx", object);
//   }
//
// Built-in names: "CHoopsViewEx", "CHoopsFrameSdi", "CHoopsChildWnd", "CHoopsOleDoc".
#pragma once

#include <functional>
#include <string>
#include <vector>

extern "C" {
// Results (the COM values).
enum : long {
    KETRA_S_OK = 0,
    KETRA_S_FALSE = 1,
    KETRA_E_POINTER = static_cast<long>(0x80004003u),
    KETRA_CLASS_E_CLASSNOTAVAILABLE = static_cast<long>(0x80040111u),
};

// Creates a new object of `className` in *object (caller gives it back with
// DllReleaseClassObject). KETRA_CLASS_E_CLASSNOTAVAILABLE for an unknown name,
// KETRA_E_POINTER for a null argument.
long DllGetClassObject(const char* className, void** object);
// Destroys an object made by DllGetClassObject with the same name.
long DllReleaseClassObject(const char* className, void* object);
// KETRA_S_OK when no object made here is alive, KETRA_S_FALSE otherwise.
long DllCanUnloadNow(void);
// Records every class name in the settings store under "Software\Classes\Ketra.<name>" (the
// value is the library's path), so hosts can list what the component offers.
long DllRegisterServer(void);
}

namespace ketra::view {

struct ClassFactory {
    std::function<void*()> create;
    std::function<void(void*)> destroy;
};

// Adds or replaces a factory (a host may register its own subclasses).
void RegisterClassFactory(const std::string& name, ClassFactory factory);
// Names of every factory, sorted.
std::vector<std::string> ClassFactoryNames();

} // namespace ketra::view
