#include "geometry/ShellMerge.h"

#include "platform/hc/HcStrings.h"

#include <cstring>

bool IsShellKey(long key)
{
    if (key == -1 || HC_Show_Existence_By_Key(key, "self") == 0) {
        return false;
    }
    return HC_Show_Key_Type(key) == "shell";
}

bool ReadShell(long key, ShellData& out)
{
    out.Clear();
    if (!IsShellKey(key)) {
        return false;
    }
    int pointCount = 0;
    int faceLength = 0;
    HC_Show_Shell_Size(key, &pointCount, &faceLength);
    if (pointCount < 0 || faceLength < 0) {
        return false;
    }
    out.points.resize(static_cast<size_t>(pointCount) * 3);
    out.faces.resize(static_cast<size_t>(faceLength));
    HC_Show_Shell(key, &pointCount, out.points.data(), &faceLength, out.faces.data());
    return true;
}

long InsertShellData(const ShellData& shell)
{
    return HC_Insert_Shell(shell.PointCount(), shell.points.data(), shell.FaceListLength(),
                           shell.faces.data());
}

long AppendShell(long keyA, long keyB)
{
    ShellData a;
    ShellData b;
    if (!ReadShell(keyA, a) || !ReadShell(keyB, b)) {
        return -1;
    }
    AppendShellData(a, b);
    HC_Delete_By_Key(keyA);
    return InsertShellData(a);
}

long MergeShellKeys(int count, long* keys)
{
    if (keys == nullptr || count < 1) {
        return -1;
    }
    if (count == 1) {
        return keys[0];
    }
    for (int i = 0; i < count; ++i) {
        if (!IsShellKey(keys[i])) {
            return -1;
        }
    }
    // Fuse in memory and touch the scene once: the result equals appending one shell at a
    // time, without re-reading the growing shell.
    ShellData fused;
    ReadShell(keys[0], fused);
    ShellData part;
    for (int i = 1; i < count; ++i) {
        ReadShell(keys[i], part);
        AppendShellData(fused, part);
    }
    const long first = keys[0];
    keys[0] = InsertShellData(fused);
    HC_Delete_By_Key(first);
    for (int i = 1; i < count; ++i) {
        // A key listed twice is deleted once.
        if (IsShellKey(keys[i])) {
            HC_Delete_By_Key(keys[i]);
        }
    }
    return keys[0];
}
