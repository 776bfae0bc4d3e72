// CHoopsDoc: the document a view window shows: it holds the model. The application shell's
// document classes derive from it.
#pragma once

#include <string>

class HBaseModel;

class CHoopsDoc {
public:
    CHoopsDoc() = default;
    virtual ~CHoopsDoc() = default;
    CHoopsDoc(const CHoopsDoc&) = delete;
    CHoopsDoc& operator=(const CHoopsDoc&) = delete;

    // The model (not owned here unless a derived document says so); null before one is set.
    virtual HBaseModel* GetHoopsModel() { return m_pHoopsModel; }
    void SetHoopsModel(HBaseModel* model) { m_pHoopsModel = model; }
    // The file the document was read from or saved to ("" for a new document).
    const std::string& GetPathName() const { return m_pathName; }
    void SetPathName(std::string path) { m_pathName = std::move(path); }

protected:
    HBaseModel* m_pHoopsModel = nullptr;
    std::string m_pathName;
};
