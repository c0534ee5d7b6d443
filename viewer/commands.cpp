#include "viewer/commands.h"

#include <windows.h>

namespace vistoro {
namespace {

constexpr CommandEntry kSeparator{ViewerCommand::None, 0, ""};

constexpr CommandEntry kCommands[] = {
    {ViewerCommand::Open, 0, "Open..."},
    kSeparator,
    {ViewerCommand::Next, VK_DOWN, "Forward\tDOWN"},
    {ViewerCommand::Previous, VK_UP, "Backward\tUP"},
    {ViewerCommand::TenForward, VK_NEXT, "Forward 10\tPAGE DOWN"},
    {ViewerCommand::TenBack, VK_PRIOR, "Backward 10\tPAGE UP"},
    {ViewerCommand::First, VK_HOME, "Home\tHOME"},
    {ViewerCommand::Last, VK_END, "End\tEND"},
    kSeparator,
    {ViewerCommand::Zoom, VK_SPACE, "Zoom\tSPACE"},
    kSeparator,
    {ViewerCommand::RotateLeft, VK_LEFT, "Rotate left\tLEFT"},
    {ViewerCommand::RotateRight, VK_RIGHT, "Rotate right\tRIGHT"},
    kSeparator,
    {ViewerCommand::Print, 0, "Print"},
    {ViewerCommand::PrintSetup, 0, "Print setup..."},
    kSeparator,
    {ViewerCommand::Gallery, 0, "Gallery..."},
    kSeparator,
    // Esc never reaches the dispatcher: the dialog takes it and ends itself,
    // as this entry does.
    {ViewerCommand::Close, VK_ESCAPE, "Close\tESC"},
    kSeparator,
    {ViewerCommand::About, 0, "About..."},
    // Matched by its code alone, so S works with or without Shift.
    {ViewerCommand::Random, 'S', nullptr},
    // C alone does nothing.
    {ViewerCommand::Copy, 'C', nullptr, true},
};

} // namespace

std::span<const CommandEntry> commandTable() {
    return kCommands;
}

ViewerCommand commandForKey(int nKey, bool lCtrl) {
    if (nKey == 0)
        return ViewerCommand::None;
    for (const CommandEntry &c : kCommands)
        if (c.nKey == nKey && (lCtrl || !c.lCtrl))
            return c.command;
    return ViewerCommand::None;
}

} // namespace vistoro
