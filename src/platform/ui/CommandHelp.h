// CommandHelp: the words the window uses for its commands, tools and render modes. Tool tips
// and status tips of the tool bar, the status bar's tool and mode, the keyboard shortcuts of
// the menus and the Keys and Mouse table all come from these tables, so they agree.
#pragma once

#include "platform/mvo/HBaseView.h"

#include <string>
#include <vector>

namespace ketra::ui {

struct CommandHelp {
    unsigned int id;
    const char* name;  // short, as a tool tip's first words: "Orbit"
    const char* help;  // what it does: "Drag to turn the model about its centre"
    const char* keys;  // its shortcut in QKeySequence's portable form ("Ctrl+Shift+F"); "" none
};

// Every command the tables know, in the order Keys and Mouse lists those with keys.
const std::vector<CommandHelp>& CommandHelps();
// The entry of command `id`; null when the tables do not know it.
const CommandHelp* FindCommandHelp(unsigned int id);
// The tool tip of a command: "Orbit (Ctrl+Shift+...) — what it does"; `fallback` (the menu
// text) when the tables do not know it.
std::string CommandToolTip(unsigned int id, const std::string& fallback);

struct ToolWords {
    const char* word;  // "Orbit", "Select", "Measure"
    const char* hint;  // what the mouse does with it
};
// The words for the view's current operator, by its GetName(): never the class name. An
// unknown or null name gives ("Tool", "").
ToolWords DescribeTool(const char* operatorName);
// "Shaded", "Wireframe", "Hidden Lines", ...
const char* RenderModeWord(HRenderMode mode);

} // namespace ketra::ui
