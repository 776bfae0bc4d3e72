#pragma once
// Fusing shells of the scene into one: the append step that the bend, steel and symbol
// builders share, and the bend builder's merge. The fused shell has one level of detail; levels
// and per-face/edge attributes of the parts are not carried over.

#include "geometry/ShellData.h"

/// True when key names a shell of the scene (no error is reported for other keys).
bool IsShellKey(long key);

/// Reads a shell's points and face list. Returns false (out empty) when key is not a shell.
bool ReadShell(long key, ShellData& out);

/// Inserts the shell into the open segment; returns its key, or −1 when nothing is open.
long InsertShellData(const ShellData& shell);

/// Fuses shell B into shell A: A's points then B's, A's face list then B's with every index
/// raised by A's point count. A is deleted and the fused shell is inserted into the segment
/// that is open now; B is left in place. Returns the fused shell's key, or −1 (nothing
/// changed) when A or B is not a shell.
long AppendShell(long keyA, long keyB);

/// Appends keys[1 … count − 1] to the shell keys[0] (keys[0] receives the new key each time),
/// deletes keys[1 … count − 1] and returns keys[0]. count 1 returns keys[0] unchanged
/// (unchecked). Returns −1 (nothing changed) for a null array, count below 1, or a key that is
/// not a shell.
long MergeShellKeys(int count, long* keys);
