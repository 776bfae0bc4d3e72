// Saved scenes (.hsf, .hmf) shown as they were saved, instead of drawn from a piping model:
// what `ketra render|view` do with a scene file.
#pragma once

#include <string>

class HBaseView;

namespace ketra::plotter {

// True for the scene files' extensions (.hsf, .hmf, any case).
bool IsSceneFile(const std::string& path);

// Reads a scene file below "/include library/scene file" and shows it in `view`: a file of
// "/include library" (what `ketra render -o` writes) shows its model segments, any other file
// shows whole. A damaged file is refused (the message, naming the file, in *error) and shows
// nothing.
bool ShowSceneFile(const std::string& path, HBaseView& view, std::string* error);

// Reads the file into a scratch segment and throws it away: false, with the message in
// *error, when ShowSceneFile would refuse it. Lets a caller keep what it shows until it knows
// the file is good.
bool CheckSceneFile(const std::string& path, std::string* error);

// A scene file read once into memory: what LoadSceneFile checked is what ShowSceneFile shows,
// whatever happens to the file in between.
struct SceneFileData {
    std::string path;
    std::string bytes;
};
// Reads and checks the file (as CheckSceneFile); false, with the message, when it cannot be
// read or would be refused.
bool LoadSceneFile(const std::string& path, SceneFileData& out, std::string* error);
bool ShowSceneFile(const SceneFileData& file, HBaseView& view, std::string* error);

} // namespace ketra::plotter
