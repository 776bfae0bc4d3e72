// CHoopsApp: the application object a component library carries. InitInstance runs once
// when the host loads the component; ExitInstance when it unloads it.
#pragma once

class CHoopsApp {
public:
    CHoopsApp() = default;
    virtual ~CHoopsApp() = default;
    CHoopsApp(const CHoopsApp&) = delete;
    CHoopsApp& operator=(const CHoopsApp&) = delete;

    // Returns false when the application cannot run.
    virtual bool InitInstance() { return true; }
    virtual int ExitInstance() { return 0; }
};
